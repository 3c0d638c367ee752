#ifndef DOSEGATE_SIM_SIMLOG_H
#define DOSEGATE_SIM_SIMLOG_H

#include <QString>

// What the simulator tells its operator: events and commands on standard
// output, problems on standard error, one flushed line each so that a
// reading process sees every line as it happens.
class SimLog
{
public:
    explicit SimLog(bool quiet = false);

    void Plain(const QString& line);   // unstamped, never suppressed
    void Event(const QString& line);   // connections and the like
    void Received(const QString& line); // one per received command; quiet drops them
    void Problem(const QString& line); // standard error

    static QString Stamped(const QString& line);

private:
    bool m_bQuiet;
};

#endif
