#ifndef DOSEGATE_TCPSOCKET_H
#define DOSEGATE_TCPSOCKET_H

#include "LinkFrame.h"

#include <QAbstractSocket>
#include <QObject>

class LinkConsole;
class PDataBuffer;
class PDosePackProc;
class PDoseProcThread;
class Pacer;
class QTcpSocket;
class QTimer;

// The one TCP link to the controller. Owns the socket and the whole receive
// side; reconnects 1000 ms after every loss, for as long as it lives, with
// never more than one retry pending. The socket's state is the link state:
// the session keeps none of its own, only what its log lines need.
//
// Decoded frames come from the decoder thread in batches and are relayed
// one by one, in order, on the GUI thread; the dose line, which a flood
// would rewrite for every frame, is shown at most every kDoseLineMs, with
// the newest frame. Memory stays bounded under any flood: the socket keeps
// at most kSocketBufferBytes unread, and while more than kMaxFramesBehind
// decoded frames wait for their relay the session reads nothing, so TCP's
// flow control holds the controller back.
class TcpSocket : public QObject
{
    Q_OBJECT

public:
    static constexpr int kReadChunk = 280;
    static constexpr int kReconnectDelayMs = 1000;
    static constexpr int kDoseLineMs = 40;
    static constexpr qint64 kSocketBufferBytes = 64 * 1024;
    static constexpr int kMaxFramesBehind = 100000; // about a second of a heavy flood
    static constexpr quint32 kBufferPackageSize = 1;
    static constexpr quint32 kBufferPackageNum = 345;

    explicit TcpSocket(QObject* parent = nullptr);
    ~TcpSocket() override;

    void SetWindow(LinkConsole* window);
    QTcpSocket* GetSocket() const { return m_pTcpSocket; }
    PDoseProcThread* DecoderThread() const { return m_pDoseProcThread; }
    bool RetryPending() const;
    // Decoded frames not relayed yet.
    int FramesBehind() const;
    // The arrival time (ms since the epoch, UTC) of the frame being relayed,
    // or of the dose line being shown; -1 outside a relay.
    qint64 RelayedArrivalMs() const { return m_nRelayedArrivalMs; }
    // The node of the frame being relayed; -1 outside a relay.
    int RelayedNodeId() const { return m_nRelayedNodeId; }

signals:
    void AnalyticalFinished(int id, int y, int x);
    void CountDoseSignl(int id, int count);

public slots:
    void ConnectServer();
    void ReadData();
    void Start();

protected slots:
    void DisplayError(QAbstractSocket::SocketError socketError);
    void StateChanged(QAbstractSocket::SocketState socketState);

private slots:
    void ReadLeftOver();
    void ReadIntoRoom();
    void RelayFrames();
    void ShowNewestDoseLine();

private:
    void Relay(const LinkFrame& frame);
    void ScheduleRead();
    void LogFailure();

    PDosePackProc* m_pDosePackProc;
    PDataBuffer* m_pDataBuffer;
    PDoseProcThread* m_pDoseProcThread;
    QTcpSocket* m_pTcpSocket;
    LinkConsole* m_pWindow; // not owned
    QTimer* m_pReconnectTimer;
    bool m_bReadScheduled; // a posted follow-up read
    bool m_bAwaitingRoom;  // the decoder's RoomMade is the follow-up
    LinkBatch m_relayQueue; // taken from the decoder, relayed up to m_nRelayNext
    int m_nRelayNext;
    bool m_bRelayPosted; // a RelayFrames call waits in the event queue
    qint64 m_nRelayedArrivalMs;
    int m_nRelayedNodeId;
    Pacer* m_pDoseLinePacer;
    LinkFrame m_newestDose;
    quint16 m_nPort; // of the latest attempt
    QString m_sLastFailure; // what the log last said about failing; empty once connected
};

#endif
