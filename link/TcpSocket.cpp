#include "TcpSocket.h"

#include "LinkConsole.h"
#include "Log.h"
#include "PDataBuffer.h"
#include "PDosePackProc.h"
#include "PDoseProcThread.h"
#include "SocketCompat.h"

#include <QTcpSocket>
#include <QTimer>

namespace {
const QString kConnecting = QStringLiteral("connecting...");
const QString kConnected = QStringLiteral("connected!");
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
    , m_nPort(0)
{
    qRegisterMetaType<QAbstractSocket::SocketError>("QAbstractSocket::SocketError");
    qRegisterMetaType<QAbstractSocket::SocketState>("QAbstractSocket::SocketState");

    m_pDataBuffer = new PDataBuffer;
    m_pDosePackProc = new PDosePackProc(m_pDataBuffer);
    m_pDoseProcThread = new PDoseProcThread(m_pDataBuffer, this);
    m_pDataBuffer->Init(kBufferPackageSize, kBufferPackageNum);
    m_pTcpSocket = new QTcpSocket(this);
    m_pReconnectTimer = new QTimer(this);
    m_pReconnectTimer->setSingleShot(true);
    m_pReconnectTimer->setInterval(kReconnectDelayMs);

    connect(m_pTcpSocket, SIGNAL(readyRead()), this, SLOT(ReadData()));
    connect(m_pTcpSocket, SIGNAL(connected()), this, SLOT(Start()));
    connect(m_pTcpSocket, SOCKET_ERROR_SIGNAL, this, SLOT(DisplayError(QAbstractSocket::SocketError)));
    connect(m_pTcpSocket, SIGNAL(stateChanged(QAbstractSocket::SocketState)),
            this, SLOT(StateChanged(QAbstractSocket::SocketState)));
    connect(m_pReconnectTimer, SIGNAL(timeout()), this, SLOT(ConnectServer()));

    connect(m_pDoseProcThread, SIGNAL(AnalyticalFinished(int, int, int)),
            this, SIGNAL(AnalyticalFinished(int, int, int)));
    connect(m_pDoseProcThread, SIGNAL(SetDoseCount(int, int)), this, SIGNAL(CountDoseSignl(int, int)));
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
    m_pWindow->SetStateText(kConnecting);
    // This attempt takes the place of a pending retry; its failure starts
    // the next one.
    m_pReconnectTimer->stop();

    // Dropping the old connection must not schedule a reconnect of its own.
    m_pTcpSocket->blockSignals(true);
    m_pTcpSocket->abort();
    m_pTcpSocket->blockSignals(false);
    m_pTcpSocket->connectToHost(host, port, QIODevice::ReadWrite, QAbstractSocket::AnyIPProtocol);
}

// One chunk at a time, never more than the receive buffer has room for, so
// a busy decoder costs time, not readings. readyRead comes only when new
// bytes arrive: what is left in the socket is read by a follow-up call,
// at once while there is room, a moment later while the decoder catches up.
// A call started by readyRead leaves a pending follow-up to do that.
void TcpSocket::ReadData()
{
    char data[kReadChunk];
    const qint64 room = qMin<qint64>(kReadChunk, m_pDataBuffer->FreePackageNum());
    const qint64 count = room > 0 ? m_pTcpSocket->read(data, room) : 0;
    if (count > 0)
        m_pDosePackProc->PushData(data, int(count));
    m_pDoseProcThread->WakeUp();
    if (m_pTcpSocket->bytesAvailable() > 0)
        ScheduleRead(room > 0 ? 0 : kFullBufferRetryMs);
}

void TcpSocket::ReadLeftOver()
{
    m_bReadScheduled = false;
    ReadData();
}

void TcpSocket::ScheduleRead(int delayMs)
{
    if (m_bReadScheduled)
        return;
    m_bReadScheduled = true;
    if (delayMs == 0) // a posted call: cheaper than a timer at high rates
        QMetaObject::invokeMethod(this, "ReadLeftOver", Qt::QueuedConnection);
    else
        QTimer::singleShot(delayMs, this, SLOT(ReadLeftOver()));
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
        m_pWindow->SetStateText(kConnecting);
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
        m_pWindow->SetStateText(kConnecting);
        m_pReconnectTimer->start(); // restarts the one pending retry
        break;
    case QAbstractSocket::ConnectedState:
        m_pWindow->SetStateText(kConnected);
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
