#ifndef DOSEGATE_LOOPBACKCONTROLLER_H
#define DOSEGATE_LOOPBACKCONTROLLER_H

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

// A controller on 127.0.0.1 for tests: accepts the console's connection,
// records what it writes and sends replies back.
class LoopbackController : public QObject
{
    Q_OBJECT

public:
    explicit LoopbackController(quint16 port = 0, QObject* parent = nullptr);

    bool Listen(quint16 port);
    void Close();
    quint16 Port() const;
    int Connections() const { return m_nConnections; }

    bool WaitForClient(int timeoutMs = 5000);
    bool WaitForBytes(int count, int timeoutMs = 5000);
    QByteArray Received() const { return m_received; }
    QByteArray TakeReceived();
    // Waits for `marker` to arrive last and takes what came before it, or
    // everything received when it does not come.
    QByteArray TakeUntil(const QByteArray& marker, int timeoutMs = 5000);

    void Send(const QByteArray& bytes);
    void DropClient();

private slots:
    void Accept();
    void Collect();

private:
    QTcpServer m_server;
    QPointer<QTcpSocket> m_pClient;
    QByteArray m_received;
    int m_nConnections = 0;
};

#endif
