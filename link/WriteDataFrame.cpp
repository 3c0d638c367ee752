#include "WriteDataFrame.h"

#include "FrameProtocol.h"
#include "LinkCommand.h"

#include <QTcpSocket>

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
    Send(LinkCommand(CmdSetThreshold, id, { double(threshold) }));
}

void WriteDataFrame::SetDisplaySwitch(int id, int on)
{
    Send(LinkCommand(CmdSetDisplaySwitch, id, { double(on) }));
}

void WriteDataFrame::SetDetectorParameters(int id, int p1, int p2, int p3)
{
    Send(LinkCommand(CmdSetDetectorParameters, id, { double(p1), double(p2), double(p3) }));
}

void WriteDataFrame::ChangeNodeId(int currentId, int newId)
{
    Send(LinkCommand(CmdChangeNodeId, currentId, { double(newId) }));
}

void WriteDataFrame::SetLanguage(int id, int language)
{
    Send(LinkCommand(CmdSetLanguage, id, { double(language) }));
}

void WriteDataFrame::SetPrecision(int id, int precision)
{
    Send(LinkCommand(CmdSetPrecision, id, { double(precision) }));
}

void WriteDataFrame::SetCalibrationCoefficients(int id, double c1, double c2, double c3)
{
    Send(LinkCommand(CmdSetCalibrationCoefficients, id, { c1, c2, c3 }));
}

void WriteDataFrame::GetCalibrationCoefficients(int id)
{
    Send(LinkCommand(CmdGetCalibrationCoefficients, id, {}));
}

void WriteDataFrame::SetDisplayUnit(int id, int unit)
{
    Send(LinkCommand(CmdSetDisplayUnit, id, { double(unit) }));
}

void WriteDataFrame::SetAlarmTest(int id, int on)
{
    Send(LinkCommand(CmdSetAlarmTest, id, { double(on) }));
}

void WriteDataFrame::ChangeSlaveAddress(int currentAddress, int newAddress)
{
    Send(LinkCommand(CmdChangeSlaveAddress, currentAddress, { double(newAddress) }));
}

void WriteDataFrame::PotentiometerDown(int id, int steps)
{
    Send(LinkCommand(CmdPotentiometerDown, id, { double(steps) }));
}

void WriteDataFrame::PotentiometerUp(int id, int steps)
{
    Send(LinkCommand(CmdPotentiometerUp, id, { double(steps) }));
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

void WriteDataFrame::Send(const LinkCommand& command)
{
    if (!CanSend())
        return;
    const QByteArray inner = command.Inner();
    const QByteArray written = Write(inner.constData(), inner.size());
    if (!written.isEmpty())
        emit CommandSent(command.Code(), command.Target(), written);
}
