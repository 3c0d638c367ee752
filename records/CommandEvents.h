#ifndef DOSEGATE_COMMANDEVENTS_H
#define DOSEGATE_COMMANDEVENTS_H

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QVector>

#include <functional>

class RecordWriter;

// Every command the console sends to a node, and what came back for it, as
// rows of the record store: the command with its frame and values, then
// the node's acknowledgement (or read-back) naming the row of the command it
// answers. A command that is never answered stands alone.
class CommandEvents : public QObject
{
    Q_OBJECT

public:
    explicit CommandEvents(RecordWriter* pWriter, QObject* parent = nullptr);

    // The command's name, its frame and the values it carries; empty for a
    // code that is no command.
    static QJsonObject Describe(int code, const QByteArray& frame);
    // When the reply being recorded arrived (ms since the epoch); replies
    // are stamped now without one.
    void SetArrivalClock(std::function<qint64()> clock) { m_arrivalClock = std::move(clock); }

public slots:
    // The encoder's report of a written frame: envelope included.
    void CommandSent(int code, int target, const QByteArray& frame);
    void Acknowledged(int id, int y, int x);
    void CoefficientsRead(int id, double c1, double c2, double c3);
    // What the board of nodes judged of its nodes at one refresh: gone
    // quiet, lost, above the alarm level, or live again; written together.
    void NodeStatesChanged(const QVector<int>& ids, const QStringList& states);

private:
    struct Pending {
        qint64 ticket; // the writer's, until the row is written
        int reply; // the reply type that answers it
        int target;
    };

    qint64 TakePending(int reply, int id);

    qint64 ArrivalMs() const { return m_arrivalClock ? m_arrivalClock() : -1; }

    RecordWriter* m_pWriter; // not owned
    std::function<qint64()> m_arrivalClock;
    QList<Pending> m_listPending; // oldest first, bounded
};

#endif
