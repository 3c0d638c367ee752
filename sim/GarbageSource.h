#ifndef DOSEGATE_SIM_GARBAGESOURCE_H
#define DOSEGATE_SIM_GARBAGESOURCE_H

#include <QByteArray>

#include <random>

// Line noise to put before reply frames, made so that the console's
// resynchronisation can always pass over it: no 0xFF, which would start a
// frame, and no 0x0D in runs of at least six bytes, so the coefficient test
// the console makes on byte 5 of a fresh slice always sees noise that fails
// it, never a byte of the frame behind.
class GarbageSource
{
public:
    static constexpr int kMinRun = 6;
    static constexpr int kMaxRun = 16;

    GarbageSource(double probability, quint64 seed);

    bool Enabled() const { return m_fProbability > 0.0; }
    // Empty, or one run of noise, by the configured probability.
    QByteArray Maybe();

private:
    char NoiseByte();

    double m_fProbability;
    std::mt19937_64 m_engine;
};

#endif
