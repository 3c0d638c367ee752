#include "RunReport.h"

#include "TypedFigure.h"

#include <cmath>

namespace {

constexpr double kWidestFigure = 1e9;
const char* const kRowTimeFormat = "yyyy.MM.dd.hh:mm:ss";

QString Typed(const QString& text, TypedFigure::Range range, double whenEmpty)
{
    return std::isfinite(TypedFigure::Read(text, range, whenEmpty).value) ? text.trimmed() : QString();
}

} // namespace

QString RunReport::Figure(double value, int decimals)
{
    return std::isfinite(value) && std::abs(value) < kWidestFigure ? QString::number(value, 'f', decimals) : QString();
}

const QStringList& RunReport::AddRow(const QDateTime& time, float reading, int number)
{
    m_rows.append({ QString(), time.toString(QLatin1String(kRowTimeFormat)), Figure(reading, kReadingDecimals),
                    QString::number(number) });
    return m_rows.constLast();
}

bool RunReport::MarkStep(const QString& mark)
{
    if (m_rows.isEmpty())
        return false;
    m_rows.last()[0] = mark;
    return true;
}

void RunReport::Restart()
{
    m_rows.clear();
}

void RunReport::TakeFigures(const CalibrationFigures::Result& result)
{
    if (result.n == 0)
        return;
    m_shown.error = Figure(result.error, kPercentDecimals);
    // An empty text stays empty until the first coefficient that is not 0.
    if (m_shown.variation.toFloat() != 0.0f || result.variation != 0.0)
        m_shown.variation = Figure(result.variation, kPercentDecimals);
    m_shown.standardDeviation = Figure(result.standardDeviation, kReadingDecimals);
    m_shown.expandedUncertainty = Figure(result.expandedUncertainty, kPercentDecimals);
    m_shown.coverage = CalibrationFigures::CoverageText(result.coverageFactor);
}

void RunReport::ClearFigures()
{
    m_shown = Figures();
}

ReportExport::Table RunReport::Table() const
{
    ReportExport::Table table;
    table.nColumns = kColumns;
    table.rows = m_rows;
    return table;
}

ReportExport::Statistics RunReport::Statistics(const QString& typedTrueValue, const QString& typedBackground,
                                               const CalibrationFigures::Inputs& inputs,
                                               const CalibrationFigures::Result& result, const QDateTime& time) const
{
    ReportExport::Statistics statistics;
    statistics.trueValue = Typed(typedTrueValue, TypedFigure::DoseRate, CalibrationFigures::kEmpty);
    statistics.relativeError = m_shown.error;
    statistics.variation = m_shown.variation;
    statistics.reportTime = time;
    statistics.background = Typed(typedBackground, TypedFigure::NonNegative, 0);
    statistics.standardDeviation = m_shown.standardDeviation;
    statistics.expandedUncertainty = m_shown.expandedUncertainty;
    statistics.coverageFactor = m_shown.coverage;
    // The report's words are data, in no particular language.
    statistics.decisionRule = CalibrationFigures::RuleKey(inputs.rule);
    statistics.verdict = CalibrationFigures::VerdictKey(result.verdict);
    return statistics;
}
