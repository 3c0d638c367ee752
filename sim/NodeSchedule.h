#ifndef DOSEGATE_SIM_NODESCHEDULE_H
#define DOSEGATE_SIM_NODESCHEDULE_H

#include <QList>
#include <QString>
#include <QtGlobal>

// What happens to single nodes as the simulator runs, in milliseconds from
// its start: a node falls silent for a while (it answers nothing, then
// comes back), or the dose rate at a node steps to a new value.
class NodeSchedule
{
public:
    struct Silence {
        quint8 id;
        qint64 fromMs;
        qint64 untilMs;
    };
    struct Step {
        quint8 id;
        qint64 atMs;
        double rate; // μSv/h
    };

    // "ID:AFTER:FOR", seconds.
    bool AddSilence(const QString& text, QString& error);
    // "ID:AT:RATE", seconds and μSv/h.
    bool AddStep(const QString& text, QString& error);

    bool Silent(quint8 id, qint64 ms) const;
    // The newest step's rate at the node by then, else `rate`.
    double RateAt(quint8 id, qint64 ms, double rate) const;

    // The ids named, for checking them against the nodes simulated.
    QList<quint8> Ids() const;
    const QList<Silence>& Silences() const { return m_silences; }
    const QList<Step>& Steps() const { return m_steps; }

private:
    QList<Silence> m_silences;
    QList<Step> m_steps;
};

#endif
