#include "ReferenceSource.h"

#include <cmath>

namespace {

constexpr double kDaysPerYear = 365.2422;

} // namespace

ReferenceSource::HalfLife ReferenceSource::HalfLifeOf(Nuclide nuclide)
{
    switch (nuclide) {
    case Cs137: return { 30.05 * kDaysPerYear, 0.08 * kDaysPerYear };
    case Co60: return { 1925.28, 0.14 };
    case Am241: return { 432.6 * kDaysPerYear, 0.6 * kDaysPerYear };
    case Ra226: return { 1600.0 * kDaysPerYear, 7.0 * kDaysPerYear };
    }
    return {};
}

QString ReferenceSource::Key(Nuclide nuclide)
{
    switch (nuclide) {
    case Cs137: return QStringLiteral("Cs-137");
    case Co60: return QStringLiteral("Co-60");
    case Am241: return QStringLiteral("Am-241");
    case Ra226: return QStringLiteral("Ra-226");
    }
    return QString();
}

bool ReferenceSource::FromKey(const QString& key, Nuclide* nuclide)
{
    for (Nuclide candidate : { Cs137, Co60, Am241, Ra226 }) {
        if (Key(candidate) == key) {
            *nuclide = candidate;
            return true;
        }
    }
    return false;
}

// D = D₀ · 2^(−Δt/T½) · (d₀/d)². Relative sensitivities: 1 to D₀,
// ln2·Δt/T½ to T½ (relative), 2 to either distance (relative).
ReferenceSource::TrueValue ReferenceSource::Compute(const Certificate& certificate, const Point& point,
                                                    const QDate& day)
{
    TrueValue value;
    const HalfLife halfLife = HalfLifeOf(certificate.nuclide);
    if (!(certificate.doseRate > 0) || !(certificate.distance > 0) || !(point.distance > 0)
        || !certificate.referenceDate.isValid() || !day.isValid() || halfLife.days <= 0)
        return value;
    const double elapsed = double(certificate.referenceDate.daysTo(day));
    value.decayFactor = std::exp(-std::log(2.0) * elapsed / halfLife.days);
    value.distanceFactor = std::pow(certificate.distance / point.distance, 2);
    value.doseRate = certificate.doseRate * value.decayFactor * value.distanceFactor;
    value.certificate = certificate.doseRateUncertainty / 2.0;
    value.decay = std::log(2.0) * std::fabs(elapsed) / halfLife.days * halfLife.uncertaintyDays / halfLife.days * 100.0;
    value.distance = 2.0 * std::hypot(certificate.distanceUncertainty / certificate.distance,
                                      point.distanceUncertainty / point.distance) * 100.0;
    value.expanded = 2.0 * std::sqrt(value.certificate * value.certificate + value.decay * value.decay
                                     + value.distance * value.distance);
    value.valid = std::isfinite(value.doseRate) && std::isfinite(value.expanded);
    return value;
}

QList<UncertaintyBudget::Component> ReferenceSource::BudgetLines(const TrueValue& value)
{
    const auto line = [](const QString& name, double u) {
        UncertaintyBudget::Component component;
        component.name = name;
        component.value = u;
        component.k = 1;
        return component;
    };
    return { line(UncertaintyBudget::tr("Reference source certificate"), value.certificate),
             line(UncertaintyBudget::tr("Decay since the reference date"), value.decay),
             line(UncertaintyBudget::tr("Distance to the source"), value.distance) };
}
