#include "LoopbackController.h"

#include <QTest>

LoopbackController::LoopbackController(quint16 port, QObject* parent)
    : QObject(parent)
{
    connect(&m_server, SIGNAL(newConnection()), this, SLOT(Accept()));
    Listen(port);
}

bool LoopbackController::Listen(quint16 port)
{
    return m_server.listen(QHostAddress::LocalHost, port);
}

void LoopbackController::Close()
{
    m_server.close();
    DropClient();
}

quint16 LoopbackController::Port() const
{
    return m_server.serverPort();
}

bool LoopbackController::WaitForClient(int timeoutMs)
{
    return QTest::qWaitFor([this] { return !m_pClient.isNull(); }, timeoutMs);
}

bool LoopbackController::WaitForBytes(int count, int timeoutMs)
{
    return QTest::qWaitFor([this, count] { return m_received.size() >= count; }, timeoutMs);
}

QByteArray LoopbackController::TakeReceived()
{
    QByteArray bytes = m_received;
    m_received.clear();
    return bytes;
}

QByteArray LoopbackController::TakeUntil(const QByteArray& marker, int timeoutMs)
{
    const bool marked = QTest::qWaitFor([&] { return m_received.endsWith(marker); }, timeoutMs);
    QByteArray bytes = TakeReceived();
    if (marked)
        bytes.chop(marker.size());
    return bytes;
}

void LoopbackController::Send(const QByteArray& bytes)
{
    if (m_pClient) {
        m_pClient->write(bytes);
        m_pClient->flush();
    }
}

void LoopbackController::DropClient()
{
    if (m_pClient) {
        m_pClient->disconnectFromHost();
        m_pClient->deleteLater();
        m_pClient = nullptr;
    }
}

void LoopbackController::Accept()
{
    while (QTcpSocket* client = m_server.nextPendingConnection()) {
        ++m_nConnections;
        if (m_pClient)
            m_pClient->deleteLater();
        m_pClient = client;
        connect(client, SIGNAL(readyRead()), this, SLOT(Collect()));
    }
}

void LoopbackController::Collect()
{
    auto* client = qobject_cast<QTcpSocket*>(sender());
    if (client && client == m_pClient)
        m_received += client->readAll();
}
