#ifndef DOSEGATE_SIM_DETECTORNODE_H
#define DOSEGATE_SIM_DETECTORNODE_H

#include "FrameProtocol.h"

#include <QByteArray>

#include <array>

class CommandFrame;

// One detector node behind the controller: the settings the console can
// change, and the frames the node answers with.
class DetectorNode
{
public:
    static constexpr int kCoefficientCount = 3;
    using Coefficients = std::array<qint32, kCoefficientCount>; // × 10000
    // A 7-bit digital potentiometer, started mid-scale; each step moves the
    // gain by 1 % of its starting value and the wiper stops at either end.
    static constexpr int kWiperStart = 64;
    static constexpr int kWiperMax = 127;
    static constexpr double kGainPerStep = 0.01;
    static constexpr quint8 kDoseTag = 0;

    explicit DetectorNode(quint8 id);

    quint8 Id() const { return m_nId; }
    quint8 SlaveAddress() const { return m_nSlaveAddress; }
    float Threshold() const { return m_fThreshold; }
    quint8 DisplaySwitch() const { return m_nDisplaySwitch; }
    FrameProtocol::DetectorParameters Parameters() const { return m_parameters; }
    quint8 Language() const { return m_nLanguage; }
    quint8 Precision() const { return m_nPrecision; }
    quint8 Unit() const { return m_nUnit; }
    bool AlarmTest() const { return m_bAlarmTest; }
    const Coefficients& CalibrationCoefficients() const { return m_coefficients; }
    double Coefficient(int range) const;
    int Wiper() const { return m_nWiper; }
    double GainFactor() const;

    // Sends the XOR of the coefficient reply's bytes 5 to 18 after it.
    void SetCoefficientCheck(bool on) { m_bCoefficientCheck = on; }

    // Takes the command over and returns the node's answer, if any. Id and
    // address uniqueness among nodes is the caller's to check.
    QByteArray Apply(const CommandFrame& command);

    QByteArray Acknowledge(int x, int y = 0) const;
    QByteArray CoefficientReply() const;
    QByteArray DoseCountFrame(quint32 count) const;

private:
    void SetUnit(quint8 unit);
    void StepWiper(int steps);

    quint8 m_nId;
    quint8 m_nSlaveAddress;
    float m_fThreshold = 0.0f;
    quint8 m_nDisplaySwitch = 0;
    FrameProtocol::DetectorParameters m_parameters;
    quint8 m_nLanguage = 0;
    quint8 m_nPrecision = 0;
    quint8 m_nUnit;
    bool m_bAlarmTest = false;
    Coefficients m_coefficients;
    int m_nWiper = kWiperStart;
    bool m_bCoefficientCheck = false;
};

#endif
