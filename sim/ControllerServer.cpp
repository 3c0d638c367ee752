#include "ControllerServer.h"

#include "NodeBank.h"
#include "SimLog.h"

#include <QMap>
#include <QStringList>
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

QString ControllerServer::DoseFramesByNode() const
{
    QMap<int, quint64> sent;
    for (auto it = m_doseFramesByNodeOfGone.cbegin(); it != m_doseFramesByNodeOfGone.cend(); ++it)
        sent[it.key()] += it.value();
    for (const ClientSession* session : m_sessions) {
        for (auto it = session->DoseFramesByNode().cbegin(); it != session->DoseFramesByNode().cend(); ++it)
            sent[it.key()] += it.value();
    }
    QStringList parts;
    for (auto it = sent.cbegin(); it != sent.cend(); ++it)
        parts << QStringLiteral("%1=%2").arg(it.key()).arg(it.value());
    return parts.join(QLatin1Char(' '));
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
    for (auto it = session->DoseFramesByNode().cbegin(); it != session->DoseFramesByNode().cend(); ++it)
        m_doseFramesByNodeOfGone[it.key()] += it.value();
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
    const bool over = m_settings.floodForMs > 0 && m_floodClock.elapsed() >= m_settings.floodForMs;
    const double elapsed = over ? m_settings.floodForMs / 1000.0 : m_floodClock.nsecsElapsed() / kNanosecondsPerSecond;
    const qint64 due = qint64(m_settings.floodRate * elapsed) - m_nFloodScheduled;
    if (due <= 0) {
        if (over)
            EndFlood();
        return;
    }
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
    if (over)
        EndFlood();
}

// The connection stays: what the clients still have to read is theirs to
// catch up with.
void ControllerServer::EndFlood()
{
    m_floodTimer.stop();
    m_pLog->Plain(QStringLiteral("flood over: sent %1 dose frames; by node %2").arg(DoseFramesSent()).arg(DoseFramesByNode()));
}

void ControllerServer::RestartFloodClock()
{
    m_floodClock.start();
    m_nFloodScheduled = 0;
}
