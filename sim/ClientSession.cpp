#include "ClientSession.h"

#include "FrameProtocol.h"
#include "NodeBank.h"
#include "SimLog.h"

#include <QTcpSocket>

using namespace FrameProtocol;

namespace {

// Two seconds of a 50 000 frames/s flood; a client further behind than
// this gets no unsolicited frames until it catches up.
constexpr qint64 kMaxBacklogBytes = 1 << 20;

bool StartsWithMarker(const QByteArray& frame)
{
    return !frame.isEmpty() && quint8(frame[0]) == kFrameMarker;
}

bool IsDoseCount(const QByteArray& frame)
{
    return StartsWithMarker(frame) && frame.size() > 1 && quint8(frame[1]) == FrameDoseCount;
}

int DoseFrameNode(const QByteArray& frame)
{
    return frame.size() > 4 ? quint8(frame[3]) << 8 | quint8(frame[4]) : 0;
}

} // namespace

ClientSession::ClientSession(QTcpSocket* pSocket, int number, NodeBank* pBank, SimLog* pLog,
                             const Faults& faults, quint64 seed, QObject* parent)
    : QObject(parent)
    , m_pSocket(pSocket)
    , m_nNumber(number)
    , m_pBank(pBank)
    , m_pLog(pLog)
    , m_garbage(faults.garbage, seed)
{
    m_pSocket->setParent(this);
    m_dropTimer.setSingleShot(true);
    connect(m_pSocket, SIGNAL(readyRead()), this, SLOT(ReadCommands()));
    connect(m_pSocket, SIGNAL(disconnected()), this, SLOT(Disconnected()));
    connect(&m_dropTimer, SIGNAL(timeout()), this, SLOT(Drop()));
    if (faults.dropAfterMs > 0)
        m_dropTimer.start(faults.dropAfterMs);
}

bool ClientSession::Backlogged() const
{
    return m_pSocket->bytesToWrite() > kMaxBacklogBytes;
}

// Noise goes only before frames that start with 0xFF: a coefficient reply
// has no marker of its own, so the console cannot find it after noise.
void ClientSession::Send(const QByteArrayList& frames)
{
    QByteArray block;
    for (const QByteArray& frame : frames) {
        if (m_garbage.Enabled() && StartsWithMarker(frame))
            block += m_garbage.Maybe();
        block += frame;
        if (IsDoseCount(frame)) {
            ++m_nDoseFramesSent;
            ++m_doseFramesByNode[DoseFrameNode(frame)];
        }
    }
    if (!block.isEmpty())
        m_pSocket->write(block);
}

void ClientSession::ReadCommands()
{
    m_parser.Feed(m_pSocket->readAll());
    CommandParser::Item item;
    while (m_parser.Next(item))
        Handle(item);
}

void ClientSession::Handle(const CommandParser::Item& item)
{
    if (item.rejected) {
        m_pLog->Problem(Tagged(QStringLiteral("rejected a frame: ") + item.reason));
        return;
    }
    const NodeBank::Result result = m_pBank->Handle(item.command);
    QString line = item.command.Describe();
    if (!result.note.isEmpty())
        line += QStringLiteral(" (%1)").arg(result.note);
    m_pLog->Received(line);
    Send(result.frames);
}

void ClientSession::Drop()
{
    m_pLog->Event(Tagged(QStringLiteral("dropped on purpose after %1 s").arg(m_dropTimer.interval() / 1000.0)));
    m_pSocket->abort();
}

void ClientSession::Disconnected()
{
    m_dropTimer.stop();
    m_pLog->Event(Tagged(QStringLiteral("disconnected")));
    emit Finished(this);
}

QString ClientSession::Tagged(const QString& text) const
{
    return QStringLiteral("client %1 ").arg(m_nNumber) + text;
}
