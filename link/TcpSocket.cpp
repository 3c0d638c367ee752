#include "TcpSocket.h"

#include "LinkConsole.h"
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
    , m_bReadScheduled(false)
{
    qRegisterMetaType<QAbstractSocket::SocketError>("QAbstractSocket::SocketError");
    qRegisterMetaType<QAbstractSocket::SocketState>("QAbstractSocket::SocketState");

    m_pDataBuffer = new PDataBuffer;
    m_pDosePackProc = new PDosePackProc(m_pDataBuffer);
    m_pDoseProcThread = new PDoseProcThread(m_pDataBuffer, this);
    m_pDataBuffer->Init(kBufferPackageSize, kBufferPackageNum);
    m_pTcpSocket = new QTcpSocket(this);

    connect(m_pTcpSocket, SIGNAL(readyRead()), this, SLOT(ReadData()));
    connect(m_pTcpSocket, SIGNAL(connected()), this, SLOT(Start()));
    connect(m_pTcpSocket, SOCKET_ERROR_SIGNAL, this, SLOT(DisplayError(QAbstractSocket::SocketError)));
    connect(m_pTcpSocket, SIGNAL(stateChanged(QAbstractSocket::SocketState)),
            this, SLOT(StateChanged(QAbstractSocket::SocketState)));

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

void TcpSocket::ConnectServer()
{
    if (!m_pWindow)
        return;
    const QString host = m_pWindow->GetServerIp();
    const quint16 port = quint16(m_pWindow->GetServerPort()); // low 16 bits
    m_pWindow->SetStateText(kConnecting);

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
void TcpSocket::ReadData()
{
    m_bReadScheduled = false;
    char data[kReadChunk];
    const qint64 room = qMin<qint64>(kReadChunk, m_pDataBuffer->FreePackageNum());
    const qint64 count = room > 0 ? m_pTcpSocket->read(data, room) : 0;
    if (count > 0)
        m_pDosePackProc->PushData(data, int(count));
    m_pDoseProcThread->WakeUp();
    if (m_pTcpSocket->bytesAvailable() > 0)
        ScheduleRead(room > 0 ? 0 : kFullBufferRetryMs);
}

void TcpSocket::ScheduleRead(int delayMs)
{
    if (m_bReadScheduled)
        return;
    m_bReadScheduled = true;
    if (delayMs == 0) // a posted call: cheaper than a timer at high rates
        QMetaObject::invokeMethod(this, "ReadData", Qt::QueuedConnection);
    else
        QTimer::singleShot(delayMs, this, SLOT(ReadData()));
}

void TcpSocket::Start()
{
    m_pDoseProcThread->StartDecoding();
}

void TcpSocket::DisplayError(QAbstractSocket::SocketError socketError)
{
    if (!m_pWindow)
        return;
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
        QTimer::singleShot(kReconnectDelayMs, this, SLOT(ConnectServer()));
        break;
    case QAbstractSocket::ConnectedState:
        m_pWindow->SetStateText(kConnected);
        break;
    default:
        break;
    }
}
