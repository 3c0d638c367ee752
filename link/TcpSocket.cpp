#include "TcpSocket.h"

#include "LinkConsole.h"
#include "Log.h"
#include "Pacer.h"
#include "PDataBuffer.h"
#include "PDosePackProc.h"
#include "PDoseProcThread.h"
#include "SocketCompat.h"

#include <QTcpSocket>
#include <QTimer>

namespace {
const char* const kConnecting = QT_TRANSLATE_NOOP("TcpSocket", "connecting...");
const char* const kConnected = QT_TRANSLATE_NOOP("TcpSocket", "connected!");
} // namespace

TcpSocket::TcpSocket(QObject* parent)
    : QObject(parent)
    , m_pDosePackProc(nullptr)
    , m_pDataBuffer(nullptr)
    , m_pDoseProcThread(nullptr)
    , m_pTcpSocket(nullptr)
    , m_pWindow(nullptr)
    , m_pReconnectTimer(nullptr)
    , m_bReadScheduled(false)
    , m_bAwaitingRoom(false)
    , m_nRelayNext(0)
    , m_bRelayPosted(false)
    , m_nRelayedArrivalMs(-1)
    , m_nRelayedNodeId(-1)
    , m_pDoseLinePacer(nullptr)
    , m_newestDose {}
    , m_nPort(0)
{
    qRegisterMetaType<QAbstractSocket::SocketError>("QAbstractSocket::SocketError");
    qRegisterMetaType<QAbstractSocket::SocketState>("QAbstractSocket::SocketState");

    m_pDataBuffer = new PDataBuffer;
    m_pDosePackProc = new PDosePackProc(m_pDataBuffer);
    m_pDoseProcThread = new PDoseProcThread(m_pDataBuffer, this);
    m_pDataBuffer->Init(kBufferPackageSize, kBufferPackageNum);
    m_pTcpSocket = new QTcpSocket(this);
    m_pTcpSocket->setReadBufferSize(kSocketBufferBytes);
    m_pReconnectTimer = new QTimer(this);
    m_pReconnectTimer->setSingleShot(true);
    m_pReconnectTimer->setInterval(kReconnectDelayMs);
    m_pDoseLinePacer = new Pacer(kDoseLineMs, this);

    connect(m_pTcpSocket, SIGNAL(readyRead()), this, SLOT(ReadData()));
    connect(m_pTcpSocket, SIGNAL(connected()), this, SLOT(Start()));
    connect(m_pTcpSocket, SOCKET_ERROR_SIGNAL, this, SLOT(DisplayError(QAbstractSocket::SocketError)));
    connect(m_pTcpSocket, SIGNAL(stateChanged(QAbstractSocket::SocketState)),
            this, SLOT(StateChanged(QAbstractSocket::SocketState)));
    connect(m_pReconnectTimer, SIGNAL(timeout()), this, SLOT(ConnectServer()));
    connect(m_pDoseLinePacer, SIGNAL(Due()), this, SLOT(ShowNewestDoseLine()));
    connect(m_pDoseProcThread, SIGNAL(FramesReady()), this, SLOT(RelayFrames()));
    connect(m_pDoseProcThread, SIGNAL(RoomMade()), this, SLOT(ReadIntoRoom()));
}

TcpSocket::~TcpSocket()
{
    if (m_pTcpSocket) {
        m_pTcpSocket->abort();
        m_pTcpSocket->close();
        delete m_pTcpSocket;
        m_pTcpSocket = nullptr;
    }
    m_pDoseProcThread->StopDecoding();
    delete m_pDoseProcThread;
    delete m_pDosePackProc;
    delete m_pDataBuffer;
}

void TcpSocket::SetWindow(LinkConsole* window)
{
    m_pWindow = window;
    m_pDoseProcThread->SetWindow(window);
}

bool TcpSocket::RetryPending() const
{
    return m_pReconnectTimer->isActive();
}

void TcpSocket::ConnectServer()
{
    if (!m_pWindow)
        return;
    const QString host = m_pWindow->GetServerIp();
    const quint16 port = quint16(m_pWindow->GetServerPort()); // low 16 bits
    m_nPort = port; // the socket tells it only once connected
    m_pWindow->SetStateText(tr(kConnecting));
    // This attempt takes the place of a pending retry; its failure starts
    // the next one.
    m_pReconnectTimer->stop();

    // Dropping the old connection must not schedule a reconnect of its own.
    m_pTcpSocket->blockSignals(true);
    m_pTcpSocket->abort();
    m_pTcpSocket->blockSignals(false);
    m_pTcpSocket->connectToHost(host, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

int TcpSocket::FramesBehind() const
{
    return m_pDoseProcThread->FramesWaiting() + (m_relayQueue.size() - m_nRelayNext);
}

// One chunk at a time, never more than the receive buffer has room for, so
// a busy decoder costs time, not readings. readyRead comes only when new
// bytes arrive: what is left in the socket is read by one follow-up, a
// posted call while the buffer has room, else the decoder's RoomMade after
// its next pass. No clock is waited on. While too many decoded frames wait
// for their relay nothing is read; the relay reads on once it has caught up.
void TcpSocket::ReadData()
{
    if (FramesBehind() >= kMaxFramesBehind)
        return;
    char data[kReadChunk];
    const qint64 room = qMin<qint64>(kReadChunk, m_pDataBuffer->FreePackageNum());
    const qint64 count = room > 0 ? m_pTcpSocket->read(data, room) : 0;
    if (count > 0)
        m_pDosePackProc->PushData(data, int(count));
    if (m_pTcpSocket->bytesAvailable() > 0 && !m_bReadScheduled && !m_bAwaitingRoom) {
        if (m_pDataBuffer->FreePackageNum() > 0) {
            ScheduleRead();
        } else {
            m_bAwaitingRoom = true;
            m_pDoseProcThread->WantRoom(); // before the wake-up, so its pass sees it
        }
    }
    m_pDoseProcThread->WakeUp();
}

void TcpSocket::ReadLeftOver()
{
    m_bReadScheduled = false;
    ReadData();
}

void TcpSocket::ReadIntoRoom()
{
    m_bAwaitingRoom = false;
    ReadData();
}

void TcpSocket::ScheduleRead()
{
    m_bReadScheduled = true;
    QMetaObject::invokeMethod(this, "ReadLeftOver", Qt::QueuedConnection);
}

// A slot may run a nested event loop (a message box), in which the next
// batch arrives: it joins the same queue and the nested call relays on from
// where the outer one stands, so the order holds and nothing waits for the
// box to close. A reply or a read-back may open a box: a call posted before
// it relays the rest of its batch inside that box's loop, so two replies in
// one segment open two boxes at once, not the second when the next frame
// happens to arrive.
void TcpSocket::RelayFrames()
{
    m_bRelayPosted = false;
    m_relayQueue += m_pDoseProcThread->TakeFrames();
    while (m_nRelayNext < m_relayQueue.size()) {
        const LinkFrame frame = m_relayQueue.at(m_nRelayNext++);
        if (frame.kind != LinkFrame::DoseCount && m_nRelayNext < m_relayQueue.size() && !m_bRelayPosted) {
            m_bRelayPosted = true;
            QMetaObject::invokeMethod(this, "RelayFrames", Qt::QueuedConnection);
        }
        Relay(frame);
    }
    m_relayQueue.clear();
    m_nRelayNext = 0;
    if (!m_bReadScheduled && !m_bAwaitingRoom && m_pTcpSocket->bytesAvailable() > 0)
        ReadData(); // what was held back while the relay was behind
}

void TcpSocket::Relay(const LinkFrame& frame)
{
    const qint64 outer = m_nRelayedArrivalMs;
    const int outerId = m_nRelayedNodeId;
    m_nRelayedArrivalMs = frame.nArrivalMs;
    m_nRelayedNodeId = frame.nId;
    switch (frame.kind) {
    case LinkFrame::Acknowledgement:
        emit AnalyticalFinished(frame.nId, frame.nValue, frame.nCode);
        break;
    case LinkFrame::DoseCount:
        emit CountDoseSignl(frame.nId, frame.nValue);
        m_newestDose = frame;
        m_pDoseLinePacer->Request();
        break;
    case LinkFrame::Coefficients:
        if (m_pWindow)
            m_pWindow->SetLastCoefficients(frame.fCoefficients[0], frame.fCoefficients[1], frame.fCoefficients[2]);
        break;
    }
    m_nRelayedArrivalMs = outer;
    m_nRelayedNodeId = outerId;
}

void TcpSocket::ShowNewestDoseLine()
{
    if (!m_pWindow)
        return;
    const qint64 outer = m_nRelayedArrivalMs;
    m_nRelayedArrivalMs = m_newestDose.nArrivalMs;
    m_pWindow->ShowDoseLine(m_newestDose.nId, m_newestDose.nValue, m_newestDose.nCode);
    m_nRelayedArrivalMs = outer;
}

void TcpSocket::Start()
{
    m_pDoseProcThread->StartDecoding();
}

void TcpSocket::DisplayError(QAbstractSocket::SocketError socketError)
{
    if (!m_pWindow)
        return;
    LogFailure();
    switch (socketError) {
    case QAbstractSocket::ConnectionRefusedError:
    case QAbstractSocket::HostNotFoundError:
        m_pWindow->SetStateText(tr(kConnecting));
        break;
    default:
        m_pWindow->SetStateText(m_pTcpSocket->errorString());
        break;
    }
}

void TcpSocket::StateChanged(QAbstractSocket::SocketState socketState)
{
    if (!m_pWindow)
        return;
    switch (socketState) {
    case QAbstractSocket::UnconnectedState:
        m_pWindow->SetStateText(tr(kConnecting));
        m_pReconnectTimer->start(); // restarts the one pending retry
        break;
    case QAbstractSocket::ConnectedState:
        m_pWindow->SetStateText(tr(kConnected));
        m_sLastFailure.clear();
        break;
    default:
        break;
    }
}

// The state line says "connecting..." for most failures; the log says why,
// once for each new cause rather than once a second.
void TcpSocket::LogFailure()
{
    const QString failure = QStringLiteral("%1 port %2: %3")
                                .arg(m_pTcpSocket->peerName())
                                .arg(m_nPort)
                                .arg(m_pTcpSocket->errorString());
    if (failure == m_sLastFailure)
        return;
    m_sLastFailure = failure;
    LogPrint(LOG_WARNING, "no link to %s\n", qPrintable(failure));
}
