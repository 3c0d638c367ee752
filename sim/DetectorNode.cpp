#include "DetectorNode.h"

#include "CommandFrame.h"

#include <QtEndian>

#include <cmath>

using namespace FrameProtocol;

namespace {

enum Unit : quint8 { UnitGy = 0, UnitRad = 1, UnitSv = 2 };
constexpr int kCoefficientValuesOffset = 7;
constexpr int kCoefficientCheckFrom = kCoefficientMarkOffset;

} // namespace

DetectorNode::DetectorNode(quint8 id)
    : m_nId(id)
    , m_nSlaveAddress(id) // the console proposes the id as the address
    , m_parameters(kDetectorTypes[0])
    , m_nUnit(UnitSv)
{
    m_coefficients.fill(qint32(kCoefficientScale));
}

double DetectorNode::Coefficient(int range) const
{
    return m_coefficients.at(std::size_t(range)) / kCoefficientScale;
}

double DetectorNode::GainFactor() const
{
    return 1.0 + (m_nWiper - kWiperStart) * kGainPerStep;
}

QByteArray DetectorNode::Apply(const CommandFrame& command)
{
    const quint8 value = quint8(command.Value(0));
    switch (command.code()) {
    case CmdSetThreshold:
        m_fThreshold = float(command.Value(0));
        return Acknowledge(ReplyThreshold);
    case CmdSetDisplaySwitch:
        m_nDisplaySwitch = value;
        return Acknowledge(ReplySwitches);
    case CmdSetDetectorParameters:
        m_parameters = { quint16(command.Value(0)), quint16(command.Value(1)), quint16(command.Value(2)) };
        return Acknowledge(ReplyDetectorParameters);
    case CmdChangeNodeId:
        // Answered from the new id: the id in the acknowledgement shows the
        // change has been made.
        m_nId = value;
        return Acknowledge(ReplyNodeId);
    case CmdSetLanguage:
        m_nLanguage = value;
        return Acknowledge(ReplyLanguage);
    case CmdSetPrecision:
        m_nPrecision = value;
        return Acknowledge(ReplyPrecision);
    case CmdSetCalibrationCoefficients:
        for (int i = 0; i < kCoefficientCount; ++i)
            // Rounded, not truncated: the value is the wire's integer / 10000.
            m_coefficients.at(std::size_t(i)) = qint32(std::lround(command.Value(i) * kCoefficientScale));
        return Acknowledge(ReplyCoefficients);
    case CmdGetCalibrationCoefficients:
        return CoefficientReply();
    case CmdSetDisplayUnit:
        SetUnit(value);
        return Acknowledge(ReplyDisplayUnit, m_nUnit);
    case CmdSetAlarmTest:
        m_bAlarmTest = value == 1;
        return Acknowledge(ReplyAlarmTest, m_bAlarmTest ? 1 : 0);
    case CmdChangeSlaveAddress:
        m_nSlaveAddress = value;
        return QByteArray();
    case CmdPotentiometerDown:
        StepWiper(-value);
        return Acknowledge(ReplyPotentiometerDown);
    case CmdPotentiometerUp:
        StepWiper(value);
        return Acknowledge(ReplyPotentiometerUp);
    }
    return QByteArray();
}

// An unknown unit code leaves the unit as it was; the acknowledgement
// reports the unit in force, so the console shows what the node really uses.
void DetectorNode::SetUnit(quint8 unit)
{
    if (unit == UnitGy || unit == UnitRad || unit == UnitSv)
        m_nUnit = unit;
}

void DetectorNode::StepWiper(int steps)
{
    m_nWiper = qBound(0, m_nWiper + steps, kWiperMax);
}

QByteArray DetectorNode::Acknowledge(int x, int y) const
{
    const char frame[kAcknowledgeLength] = { char(kFrameMarker), char(FrameAcknowledge), char(m_nId), 0, char(y),
                                             char(x), 0 };
    return QByteArray(frame, kAcknowledgeLength);
}

// Exactly the 19 bytes the console examines, by default. The console's
// decoder recognises a coefficient reply only where a fresh seven-byte
// slice starts; a byte after it leaves the decoder one byte off, so a
// coefficient reply that follows is lost and a frame whose byte 4 is 0x0D
// (node 13's dose count, say) is taken for one. The optional check byte is
// left out when it would be 0xFF, which would start a false frame and
// swallow the next reply.
QByteArray DetectorNode::CoefficientReply() const
{
    QByteArray reply(kCoefficientReplyLength, '\0');
    reply[kZeroPrefixLength] = char(kFrameMarker);
    reply[kCoefficientMarkOffset] = char(CmdGetCalibrationCoefficients);
    reply[kCoefficientMarkOffset + 1] = char(m_nId);
    for (int i = 0; i < kCoefficientCount; ++i)
        qToBigEndian(m_coefficients.at(std::size_t(i)), reply.data() + kCoefficientValuesOffset + 4 * i);
    if (m_bCoefficientCheck) {
        const quint8 check = XorOf(reply.constData() + kCoefficientCheckFrom,
                                   kCoefficientReplyLength - kCoefficientCheckFrom);
        if (check != kFrameMarker)
            reply += char(check);
    }
    return reply;
}

QByteArray DetectorNode::DoseCountFrame(quint32 count) const
{
    char frame[kDoseCountLength] = { char(kFrameMarker), char(FrameDoseCount), char(kDoseTag), 0, char(m_nId),
                                     char(count >> 16), char(count >> 8), char(count), 0 };
    frame[kDoseCountLength - 1] = char(XorOf(frame + 1, kDoseCountLength - 2));
    return QByteArray(frame, kDoseCountLength);
}
