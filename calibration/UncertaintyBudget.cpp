#include "UncertaintyBudget.h"

#include <QSettings>

#include <cmath>

namespace {

const char* const kGroup = "budget";
const char* const kArray = "components";

const char* const kDistributionKeys[] = { "normal", "rectangular", "triangular", "U-shaped" };
const char* const kUnitKeys[] = { "% of true value", "uSv/h" };
const char* const kSourceKeys[] = { "entered", "reference field", "repeatability" };

template <typename Enum, std::size_t n>
Enum EnumOfKey(const char* const (&keys)[n], const QString& key, Enum otherwise)
{
    for (std::size_t i = 0; i < n; ++i) {
        if (key == QLatin1String(keys[i]))
            return Enum(i);
    }
    return otherwise;
}

} // namespace

double UncertaintyBudget::Component::Divisor() const
{
    // GUM 4.3.7 and 4.3.9: a half-width a gives a/√3, a/√6 and a/√2.
    switch (distribution) {
    case Normal: return k;
    case Rectangular: return std::sqrt(3.0);
    case Triangular: return std::sqrt(6.0);
    case UShaped: return std::sqrt(2.0);
    }
    return k;
}

double UncertaintyBudget::Component::RelativeStandardUncertainty(double trueValue) const
{
    const double divisor = Divisor();
    if (!std::isfinite(value) || value < 0 || !(divisor > 0) || !std::isfinite(divisor))
        return std::numeric_limits<double>::quiet_NaN();
    const double u = value / divisor;
    if (unit == DoseRate)
        return trueValue > 0 ? u / trueValue : std::numeric_limits<double>::quiet_NaN();
    return u / 100.0;
}

QList<UncertaintyBudget::Component> UncertaintyBudget::Defaults()
{
    Component reference;
    reference.name = QStringLiteral("reference field");
    reference.source = ReferenceField;
    Component repeatability;
    repeatability.name = QStringLiteral("repeatability");
    repeatability.source = Repeatability;
    return { reference, repeatability };
}

QList<UncertaintyBudget::Component> UncertaintyBudget::Load(QSettings& settings)
{
    settings.beginGroup(QLatin1String(kGroup));
    const int size = settings.beginReadArray(QLatin1String(kArray));
    QList<Component> components;
    for (int i = 0; i < size; ++i) {
        settings.setArrayIndex(i);
        Component c;
        c.name = settings.value(QStringLiteral("name")).toString();
        c.source = EnumOfKey(kSourceKeys, settings.value(QStringLiteral("source")).toString(), Entered);
        c.unit = EnumOfKey(kUnitKeys, settings.value(QStringLiteral("unit")).toString(), PercentOfTrueValue);
        c.value = settings.value(QStringLiteral("value")).toDouble();
        c.distribution = EnumOfKey(kDistributionKeys, settings.value(QStringLiteral("distribution")).toString(), Normal);
        c.k = settings.value(QStringLiteral("k"), 2.0).toDouble();
        const QString dof = settings.value(QStringLiteral("degreesOfFreedom")).toString();
        c.degreesOfFreedom = dof.isEmpty() || dof == QLatin1String("inf") ? kInfinite : dof.toDouble();
        components << c;
    }
    settings.endArray();
    settings.endGroup();
    return size == 0 ? Defaults() : components;
}

void UncertaintyBudget::Save(QSettings& settings, const QList<Component>& components)
{
    settings.beginGroup(QLatin1String(kGroup));
    settings.remove(QString());
    settings.beginWriteArray(QLatin1String(kArray), components.size());
    for (int i = 0; i < components.size(); ++i) {
        const Component& c = components[i];
        settings.setArrayIndex(i);
        settings.setValue(QStringLiteral("name"), c.name);
        settings.setValue(QStringLiteral("source"), SourceKey(c.source));
        settings.setValue(QStringLiteral("unit"), UnitKey(c.unit));
        settings.setValue(QStringLiteral("value"), c.value);
        settings.setValue(QStringLiteral("distribution"), DistributionKey(c.distribution));
        settings.setValue(QStringLiteral("k"), c.k);
        settings.setValue(QStringLiteral("degreesOfFreedom"), DegreesOfFreedomText(c.degreesOfFreedom));
    }
    settings.endArray();
    settings.endGroup();
}

QString UncertaintyBudget::DistributionKey(Distribution distribution)
{
    return QLatin1String(kDistributionKeys[distribution]);
}

QString UncertaintyBudget::DistributionText(Distribution distribution)
{
    switch (distribution) {
    case Normal: return tr("normal");
    case Rectangular: return tr("rectangular");
    case Triangular: return tr("triangular");
    case UShaped: return tr("U-shaped");
    }
    return QString();
}

QString UncertaintyBudget::UnitKey(Unit unit)
{
    return QString::fromUtf8(kUnitKeys[unit]);
}

QString UncertaintyBudget::SourceKey(Source source)
{
    return QLatin1String(kSourceKeys[source]);
}

QString UncertaintyBudget::DegreesOfFreedomText(double degreesOfFreedom)
{
    return std::isinf(degreesOfFreedom) ? QStringLiteral("inf") : QString::number(degreesOfFreedom, 'g', 6);
}
