#ifndef DOSEGATE_TCPSOCKET_H
#define DOSEGATE_TCPSOCKET_H

#include <QAbstractSocket>
#include <QObject>

class LinkConsole;
class PDataBuffer;
class PDosePackProc;
class PDoseProcThread;
class QTcpSocket;
class QTimer;

// The one TCP link to the controller. Owns the socket and the whole receive
// side; reconnects 1000 ms after every loss, for as long as it lives, with
// never more than one retry pending. The socket's state is the link state:
// the session keeps none of its own, only what its log lines need.
class TcpSocket : public QObject
{
    Q_OBJECT

public:
    static constexpr int kReadChunk = 280;
    static constexpr int kReconnectDelayMs = 1000;
    static constexpr int kFullBufferRetryMs = 1;
    static constexpr quint32 kBufferPackageSize = 1;
    static constexpr quint32 kBufferPackageNum = 345;

    explicit TcpSocket(QObject* parent = nullptr);
    ~TcpSocket() override;

    void SetWindow(LinkConsole* window);
    QTcpSocket* GetSocket() const { return m_pTcpSocket; }
    PDoseProcThread* DecoderThread() const { return m_pDoseProcThread; }
    bool RetryPending() const;

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

private:
    void ScheduleRead(int delayMs);
    void LogFailure();

    PDosePackProc* m_pDosePackProc;
    PDataBuffer* m_pDataBuffer;
    PDoseProcThread* m_pDoseProcThread;
    QTcpSocket* m_pTcpSocket;
    LinkConsole* m_pWindow; // not owned
    QTimer* m_pReconnectTimer;
    bool m_bReadScheduled;
    quint16 m_nPort; // of the latest attempt
    QString m_sLastFailure; // what the log last said about failing; empty once connected
};

#endif
