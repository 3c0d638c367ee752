#ifndef DOSEGATE_SIM_CLIENTSESSION_H
#define DOSEGATE_SIM_CLIENTSESSION_H

#include "CommandParser.h"
#include "GarbageSource.h"

#include <QByteArrayList>
#include <QHash>
#include <QObject>
#include <QTimer>

class NodeBank;
class QTcpSocket;
class SimLog;

// One console connection: parses what it sends, lets the nodes answer, and
// writes the answers back, with the faults it was asked to inject.
class ClientSession : public QObject
{
    Q_OBJECT

public:
    struct Faults {
        int dropAfterMs = 0; // 0: never
        double garbage = 0.0;
    };

    ClientSession(QTcpSocket* pSocket, int number, NodeBank* pBank, SimLog* pLog, const Faults& faults,
                  quint64 seed, QObject* parent = nullptr);

    int Number() const { return m_nNumber; }
    // Whether the client reads too slowly to be sent unsolicited frames.
    bool Backlogged() const;
    void Send(const QByteArrayList& frames);
    quint64 DoseFramesSent() const { return m_nDoseFramesSent; }
    // The dose-count frames sent, by the node id they carry.
    const QHash<int, quint64>& DoseFramesByNode() const { return m_doseFramesByNode; }

signals:
    void Finished(ClientSession* session);

private slots:
    void ReadCommands();
    void Drop();
    void Disconnected();

private:
    void Handle(const CommandParser::Item& item);
    QString Tagged(const QString& text) const;

    QTcpSocket* m_pSocket; // a child of this session
    int m_nNumber;
    NodeBank* m_pBank; // not owned
    SimLog* m_pLog;    // not owned
    CommandParser m_parser;
    GarbageSource m_garbage;
    QTimer m_dropTimer;
    quint64 m_nDoseFramesSent = 0;
    QHash<int, quint64> m_doseFramesByNode;
};

#endif
