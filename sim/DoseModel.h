#ifndef DOSEGATE_SIM_DOSEMODEL_H
#define DOSEGATE_SIM_DOSEMODEL_H

#include <QtGlobal>

#include <random>

// The radiation field and the counting noise shared by every node: a node
// reads rate × sensitivity × gain factor × the calibration coefficient of
// the rate's range, and counts pulses of kDosePerCount each.
class DoseModel
{
public:
    static constexpr double kRange2From = 200.0;  // μSv/h
    static constexpr double kRange3From = 1000.0; // μSv/h
    static constexpr quint32 kMaxCount = 0xFFFFFF; // what 24 bits carry

    DoseModel(double trueRate, double sensitivity, quint64 seed);

    double TrueRate() const { return m_fTrueRate; }
    double Sensitivity() const { return m_fSensitivity; }

    // 0, 1 or 2: whose coefficient applies at the true rate.
    int Range() const { return RangeOf(m_fTrueRate); }
    static int RangeOf(double trueRate);
    double ExpectedReading(double gainFactor, double coefficient) const;
    double MeanCount(double gainFactor, double coefficient) const;
    // A Poisson draw around the mean count, cut to 24 bits.
    quint32 DrawCount(double gainFactor, double coefficient);
    // The same where a node's rate differs from the field's.
    quint32 DrawCountAt(double trueRate, double gainFactor, double coefficient);

private:
    double m_fTrueRate;
    double m_fSensitivity;
    std::mt19937_64 m_engine;
};

#endif
