#include "PointRun.h"

#include "StudentT.h"

#include <algorithm>
#include <cmath>

PointRun::PointRun(const Inputs& inputs, const Settings& settings)
    : m_inputs(inputs)
    , m_settings(settings)
{
    if (m_settings.settlingReadings <= 0)
        m_status = Collecting;
}

double PointRun::TargetU() const
{
    return std::isnan(m_settings.targetU) ? m_inputs.tolerance * m_settings.targetShare : m_settings.targetU;
}

int PointRun::SettlingLeft() const
{
    return std::max(0, m_settings.settlingReadings - m_nReadings);
}

PointRun::Status PointRun::AddCount(int count)
{
    if (Finished())
        return m_status;
    ++m_nReadings;
    if (m_nReadings <= m_settings.settlingReadings)
        return m_status; // left out: the field and the node are still settling
    m_status = Collecting;
    ++m_n;
    m_fSum += count;
    m_fSumOfSquares += double(count) * count;
    Evaluate();
    if (m_n >= std::max(2, m_settings.minReadings) && m_fSum >= kMinCounts) {
        if (m_figures.verdict == Pass || m_figures.verdict == Fail)
            m_status = Decided;
        else if (TargetU() > 0 && m_figures.expandedUncertainty <= TargetU())
            m_status = TargetReached;
    }
    if (m_status == Collecting && m_nReadings >= m_settings.limitReadings) {
        m_status = TimedOut;
        // Too few counts to look at: what they seem to say is no verdict.
        if (m_figures.verdict == Pass || m_figures.verdict == Fail)
            m_figures.verdict = Inconclusive;
    }
    return m_status;
}

void PointRun::Evaluate()
{
    Figures figures;
    figures.n = m_n;
    const double meanCount = m_fSum / m_n;
    figures.mean = meanCount * kDosePerCount;
    const double t = m_inputs.trueValue;
    if (!(t > 0)) {
        m_figures = figures;
        return;
    }
    const double net = figures.mean - m_inputs.background;
    figures.error = (net / t - 1.0) * 100.0;
    if (m_n < 2) {
        m_figures = figures;
        return;
    }
    const double variance = std::max(0.0, (m_fSumOfSquares - m_fSum * meanCount) / (m_n - 1));
    const double s = std::sqrt(variance);
    // Counting's spread at the larger of the mean count and the count the
    // true value gives: a run that happens to count low must not look the
    // more precise for it.
    const double counting = std::sqrt(std::max(meanCount, (t + m_inputs.background) / kDosePerCount));
    m_fSpread = std::max(s, counting);
    figures.standardDeviation = m_fSpread * kDosePerCount;
    const double uA = 100.0 / t * kDosePerCount * m_fSpread / std::sqrt(double(m_n));
    const double uB = 100.0 / t * m_inputs.backgroundUncertainty / 2.0;
    const double uT = net / t * m_inputs.referenceUncertainty / 2.0;
    m_fRelativeOther = uB * uB + uT * uT;
    const double u = std::sqrt(uA * uA + m_fRelativeOther);
    // Counting's floor is known, not estimated: it has no degrees of freedom to lose.
    const double dofA = s > counting ? double(m_n - 1) : std::numeric_limits<double>::infinity();
    const double dof = uA > 0 && std::isfinite(dofA) ? std::pow(u, 4) / (std::pow(uA, 4) / dofA)
                                                      : std::numeric_limits<double>::infinity();
    figures.standardUncertainty = u;
    figures.degreesOfFreedom = std::isfinite(dof) ? std::floor(dof) : dof;
    figures.coverageFactor = StudentT::CoverageFactor(dof);
    figures.expandedUncertainty = figures.coverageFactor * u;
    // The looks' coverage, widened as the report's k is for few degrees of freedom.
    const double look = LookCoverage() * figures.coverageFactor / 2.0 * u;
    const double distance = std::fabs(figures.error);
    if (distance + look <= m_inputs.tolerance)
        figures.verdict = Pass;
    else if (distance - look > m_inputs.tolerance)
        figures.verdict = Fail;
    else
        figures.verdict = Inconclusive;
    m_figures = figures;
}

double PointRun::LookCoverage() const
{
    const double looks = double(m_n) / std::max(1, m_settings.lookGrowthFrom);
    return m_settings.lookCoverage * std::sqrt(1.0 + m_settings.lookGrowth * std::log(std::max(1.0, looks)));
}

// Whichever comes first: U reaching the target at k = 2, or U at the
// looks' coverage reaching the distance of e from the tolerance.
int PointRun::EstimatedReadingsLeft() const
{
    const int toLimit = std::max(0, m_settings.limitReadings - m_nReadings);
    if (Finished())
        return 0;
    if (m_n < 2 || !(m_inputs.trueValue > 0) || std::isnan(m_fSpread))
        return toLimit;
    const double perReading = 100.0 / m_inputs.trueValue * kDosePerCount * m_fSpread;
    const auto readingsFor = [&](double goal, double k) {
        const double room = goal * goal / (k * k) - m_fRelativeOther;
        return room > 0 ? std::ceil(perReading * perReading / room) : std::numeric_limits<double>::infinity();
    };
    double needed = readingsFor(std::fabs(m_inputs.tolerance - std::fabs(m_figures.error)), LookCoverage());
    if (TargetU() > 0)
        needed = std::min(needed, readingsFor(TargetU(), 2.0));
    return int(std::min<double>(toLimit, std::max(0.0, needed - m_n)));
}

int PointRun::Progress() const
{
    if (Finished())
        return 100;
    const int done = m_nReadings;
    const int total = done + SettlingLeft() + EstimatedReadingsLeft();
    return total > 0 ? std::min(99, done * 100 / total) : 0;
}
