#include "DoseModel.h"

#include "FrameProtocol.h"

DoseModel::DoseModel(double trueRate, double sensitivity, quint64 seed)
    : m_fTrueRate(trueRate)
    , m_fSensitivity(sensitivity)
    , m_engine(seed)
{
}

// The range follows the true rate, so a calibration made at a rate inside
// one range corrects that range's coefficient and no other.
int DoseModel::RangeOf(double trueRate)
{
    if (trueRate < kRange2From)
        return 0;
    return trueRate < kRange3From ? 1 : 2;
}

double DoseModel::ExpectedReading(double gainFactor, double coefficient) const
{
    return m_fTrueRate * m_fSensitivity * gainFactor * coefficient;
}

double DoseModel::MeanCount(double gainFactor, double coefficient) const
{
    return ExpectedReading(gainFactor, coefficient) / FrameProtocol::kDosePerCount;
}

quint32 DoseModel::DrawCount(double gainFactor, double coefficient)
{
    return DrawCountAt(m_fTrueRate, gainFactor, coefficient);
}

quint32 DoseModel::DrawCountAt(double trueRate, double gainFactor, double coefficient)
{
    const double mean = trueRate * m_fSensitivity * gainFactor * coefficient / FrameProtocol::kDosePerCount;
    if (!(mean > 0.0)) // a zero or negative coefficient, or NaN
        return 0;
    // Far beyond 24 bits the draw could only be cut down again; this also
    // keeps the mean inside what the distribution's integer type holds.
    if (mean > 2.0 * kMaxCount)
        return kMaxCount;
    std::poisson_distribution<qint64> poisson(mean);
    return quint32(qMin<qint64>(poisson(m_engine), kMaxCount));
}
