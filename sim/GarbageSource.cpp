#include "GarbageSource.h"

#include "FrameProtocol.h"

GarbageSource::GarbageSource(double probability, quint64 seed)
    : m_fProbability(probability)
    , m_engine(seed)
{
}

QByteArray GarbageSource::Maybe()
{
    if (!Enabled() || !std::bernoulli_distribution(qMin(m_fProbability, 1.0))(m_engine))
        return QByteArray();
    const int length = std::uniform_int_distribution<int>(kMinRun, kMaxRun)(m_engine);
    QByteArray run(length, '\0');
    for (char& byte : run)
        byte = NoiseByte();
    return run;
}

char GarbageSource::NoiseByte()
{
    std::uniform_int_distribution<int> any(0x00, 0xFE);
    for (;;) {
        const int byte = any(m_engine);
        if (byte != FrameProtocol::CmdGetCalibrationCoefficients)
            return char(byte);
    }
}
