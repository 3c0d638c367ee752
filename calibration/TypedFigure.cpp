#include "TypedFigure.h"

#include <QLocale>

#include <cmath>

TypedFigure TypedFigure::Read(const QString& text, Range range, double whenEmpty)
{
    TypedFigure figure;
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        figure.value = whenEmpty;
        return figure;
    }
    bool ok = false;
    double value = QLocale().toDouble(trimmed, &ok);
    // A point is understood in every locale: the form's own defaults use it.
    if (!ok)
        value = QLocale::c().toDouble(trimmed, &ok);
    bool within = ok && std::isfinite(value);
    switch (range) {
    case NonNegative: within = within && value >= 0; break;
    case Positive: within = within && value > 0; break;
    case DoseRate: within = within && value > 0 && value < kDoseRateLimit; break;
    }
    if (!within) {
        figure.bad = true;
        return figure;
    }
    figure.value = value;
    return figure;
}

QString TypedFigure::Kept(double value, int shownDecimals)
{
    if (!std::isfinite(value))
        return QString();
    return QString::number(value, 'f', shownDecimals + 1);
}
