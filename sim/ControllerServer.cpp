#include "ControllerServer.h"

#include "NodeBank.h"
#include "SimLog.h"

#include <QTcpSocket>

namespace {

constexpr double kNanosecondsPerSecond = 1e9;
// After a stall the flood resumes at its rate instead of bursting: at most
// this share of a second's frames goes out in one tick.
constexpr double kMaxCatchUpSeconds = 0.1;

} // namespace

ControllerServer::ControllerServer(const Settings& settings, NodeBank* pBank, SimLog* pLog, QObject* parent)
    : QObject(parent)
    , m_settings(settings)
    , m_pBank(pBank)
    , m_pLog(pLog)
{
    m_floodTimer.setTimerType(Qt::PreciseTimer);
    m_floodTimer.setInterval(kFloodTickMs);
    connect(&m_server, SIGNAL(newConnection()), this, SLOT(Accept()));
    connect(&m_floodTimer, SIGNAL(timeout()), this, SLOT(Flood()));
}

bool ControllerServer::Listen(QString& error)
{
    if (!m_server.listen(m_settings.address, m_settings.port)) {
        error = m_server.errorString();
        return false;
    }
    if (m_settings.floodRate > 0.0) {
        RestartFloodClock();
        m_floodTimer.start();
    }
    return true;
}

quint64 ControllerServer::DoseFramesSent() const
{
    quint64 sent = m_nDoseFramesOfGone;
    for (const ClientSession* session : m_sessions)
        sent += session->DoseFramesSent();
    return sent;
}

// Each client's noise has a seed of its own, so one client's traffic does
// not change what another one receives.
void ControllerServer::Accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        const int number = ++m_nClientsSeen;
        m_pLog->Event(QStringLiteral("client %1 connected from %2:%3")
                          .arg(number)
                          .arg(socket->peerAddress().toString())
                          .arg(socket->peerPort()));
        auto* session = new ClientSession(socket, number, m_pBank, m_pLog, m_settings.faults,
                                          m_settings.seed + quint64(number), this);
        connect(session, SIGNAL(Finished(ClientSession*)), this, SLOT(Forget(ClientSession*)));
        m_sessions << session;
    }
}

void ControllerServer::Forget(ClientSession* session)
{
    if (!m_sessions.removeOne(session))
        return;
    m_nDoseFramesOfGone += session->DoseFramesSent();
    session->deleteLater();
}

// Frames fall due by the clock, not by the tick count, so a late tick is
// made up by a larger batch and the rate holds whatever the timer does.
void ControllerServer::Flood()
{
    if (m_sessions.isEmpty()) {
        RestartFloodClock();
        return;
    }
    const double elapsed = m_floodClock.nsecsElapsed() / kNanosecondsPerSecond;
    const qint64 due = qint64(m_settings.floodRate * elapsed) - m_nFloodScheduled;
    if (due <= 0)
        return;
    m_nFloodScheduled += due;
    const qint64 batch = qMin(due, qMax<qint64>(1, qint64(m_settings.floodRate * kMaxCatchUpSeconds)));
    QByteArrayList frames;
    frames.reserve(int(batch));
    for (qint64 i = 0; i < batch; ++i)
        frames << m_pBank->NextFloodFrame();
    for (ClientSession* session : qAsConst(m_sessions)) {
        if (!session->Backlogged())
            session->Send(frames);
    }
}

void ControllerServer::RestartFloodClock()
{
    m_floodClock.start();
    m_nFloodScheduled = 0;
}
