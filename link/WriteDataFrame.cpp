#include "WriteDataFrame.h"

#include "FrameProtocol.h"

#include <QTcpSocket>
#include <QtEndian>

#include <cstring>

using namespace FrameProtocol;

WriteDataFrame::WriteDataFrame(QObject* parent)
    : QObject(parent)
    , m_pSocket(nullptr)
{
}

void WriteDataFrame::SetSocket(QTcpSocket* socket)
{
    m_pSocket = socket;
}

void WriteDataFrame::SetThreshold(int id, float threshold)
{
    // The one little-endian field of the protocol.
    quint32 bits;
    std::memcpy(&bits, &threshold, sizeof bits);
    char payload[4];
    qToLittleEndian(bits, payload);
    SendCommand(CmdSetThreshold, id, payload, sizeof payload);
}

void WriteDataFrame::SetDisplaySwitch(int id, int on)
{
    SendByteCommand(CmdSetDisplaySwitch, id, on);
}

void WriteDataFrame::SetDetectorParameters(int id, int p1, int p2, int p3)
{
    char payload[6];
    qToBigEndian(quint16(p1), payload);
    qToBigEndian(quint16(p2), payload + 2);
    qToBigEndian(quint16(p3), payload + 4);
    SendCommand(CmdSetDetectorParameters, id, payload, sizeof payload);
}

void WriteDataFrame::ChangeNodeId(int currentId, int newId)
{
    SendByteCommand(CmdChangeNodeId, currentId, newId);
}

void WriteDataFrame::SetLanguage(int id, int language)
{
    SendByteCommand(CmdSetLanguage, id, language);
}

void WriteDataFrame::SetPrecision(int id, int precision)
{
    SendByteCommand(CmdSetPrecision, id, precision);
}

void WriteDataFrame::SetCalibrationCoefficients(int id, double c1, double c2, double c3)
{
    char payload[12];
    qToBigEndian(ScaleCoefficient(c1), payload);
    qToBigEndian(ScaleCoefficient(c2), payload + 4);
    qToBigEndian(ScaleCoefficient(c3), payload + 8);
    SendCommand(CmdSetCalibrationCoefficients, id, payload, sizeof payload);
}

void WriteDataFrame::GetCalibrationCoefficients(int id)
{
    SendCommand(CmdGetCalibrationCoefficients, id, nullptr, 0);
}

void WriteDataFrame::SetDisplayUnit(int id, int unit)
{
    SendByteCommand(CmdSetDisplayUnit, id, unit);
}

void WriteDataFrame::SetAlarmTest(int id, int on)
{
    SendByteCommand(CmdSetAlarmTest, id, on);
}

void WriteDataFrame::ChangeSlaveAddress(int currentAddress, int newAddress)
{
    SendByteCommand(CmdChangeSlaveAddress, currentAddress, newAddress);
}

void WriteDataFrame::PotentiometerDown(int id, int steps)
{
    SendByteCommand(CmdPotentiometerDown, id, steps);
}

void WriteDataFrame::PotentiometerUp(int id, int steps)
{
    SendByteCommand(CmdPotentiometerUp, id, steps);
}

void WriteDataFrame::SendFixedDoseFrame()
{
    if (CanSend() && m_pSocket->isValid())
        m_pSocket->write(kFixedDoseFrame, kFixedDoseFrameLength);
}

void WriteDataFrame::SendFrame(const char* frame, int len)
{
    Write(frame, len);
}

// The block written, empty when nothing was.
QByteArray WriteDataFrame::Write(const char* frame, int len)
{
    if (len < 0 || !m_pSocket || !m_pSocket->isValid())
        return QByteArray();
    QByteArray block(len + kEnvelopeOverhead, '\0');
    block[0] = char(kEnvelopeMarker);
    block[1] = char(len);
    std::memcpy(block.data() + 2, frame, std::size_t(len));
    block[len + 2] = char(XorOf(frame, len));
    // Fire and forget: the socket sends from its own buffer when the event
    // loop runs; write errors show in the state line through the session.
    return m_pSocket->write(block) == block.size() ? block : QByteArray();
}

bool WriteDataFrame::CanSend() const
{
    return m_pSocket && m_pSocket->isOpen();
}

void WriteDataFrame::SendCommand(quint8 code, int target, const char* payload, int payloadLen)
{
    if (!CanSend())
        return;
    char inner[kMaxInnerLength] = {}; // the zero prefix
    inner[kZeroPrefixLength] = char(kFrameMarker);
    inner[kZeroPrefixLength + 1] = char(code);
    inner[kZeroPrefixLength + 2] = char(target);
    if (payloadLen > 0)
        std::memcpy(inner + kInnerHeaderLength, payload, std::size_t(payloadLen));
    const int checkOffset = kInnerHeaderLength + payloadLen;
    // From the command code to the last payload byte.
    inner[checkOffset] = char(XorOf(inner + kZeroPrefixLength + 1, checkOffset - kZeroPrefixLength - 1));
    const QByteArray written = Write(inner, checkOffset + 1);
    if (!written.isEmpty())
        emit CommandSent(code, target, written);
}

void WriteDataFrame::SendByteCommand(quint8 code, int target, int value)
{
    const char payload = char(value);
    SendCommand(code, target, &payload, 1);
}
