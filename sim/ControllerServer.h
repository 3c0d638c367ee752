#ifndef DOSEGATE_SIM_CONTROLLERSERVER_H
#define DOSEGATE_SIM_CONTROLLERSERVER_H

#include "ClientSession.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

class NodeBank;
class SimLog;

// The controller's TCP side: any number of consoles, each with a session
// of its own over the one shared set of nodes, plus the unsolicited flood.
class ControllerServer : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 kDefaultPort = 8888;
    static constexpr int kFloodTickMs = 5;

    struct Settings {
        QHostAddress address { QHostAddress::LocalHost };
        quint16 port = kDefaultPort;
        ClientSession::Faults faults;
        double floodRate = 0.0; // dose-count frames per second, all nodes together
        int floodForMs = 0;     // how long the flood lasts once a client is there; 0: for good
        quint64 seed = 0;
    };

    ControllerServer(const Settings& settings, NodeBank* pBank, SimLog* pLog, QObject* parent = nullptr);

    bool Listen(QString& error);
    QHostAddress Address() const { return m_server.serverAddress(); }
    quint16 Port() const { return m_server.serverPort(); }
    int ClientCount() const { return m_sessions.size(); }
    // Every dose-count frame written, to every client, so far.
    quint64 DoseFramesSent() const;
    // The same by node, as "1=n 2=n ...", in the order of the ids.
    QString DoseFramesByNode() const;

private slots:
    void Accept();
    void Forget(ClientSession* session);
    void Flood();

private:
    void RestartFloodClock();
    void EndFlood();

    Settings m_settings;
    NodeBank* m_pBank; // not owned
    SimLog* m_pLog;    // not owned
    QTcpServer m_server;
    QList<ClientSession*> m_sessions;
    int m_nClientsSeen = 0;
    quint64 m_nDoseFramesOfGone = 0;
    QHash<int, quint64> m_doseFramesByNodeOfGone;
    QTimer m_floodTimer;
    QElapsedTimer m_floodClock;
    qint64 m_nFloodScheduled = 0;
};

#endif
