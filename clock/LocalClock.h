#ifndef DOSEGATE_LOCALCLOCK_H
#define DOSEGATE_LOCALCLOCK_H

#include <QByteArray>
#include <QDateTime>

// Local time from a UTC instant with one cached offset from UTC. Asking the
// system for local time reads the zone's rules (a stat of the zone file
// each time on Linux), far too dear for every reading of a flood; the
// offset is asked for anew at most once a second of time going forward, at
// once when TZ changes, and never reused across a change of the offset
// (daylight saving time).
// One clock per user and thread: it is not locked.
class LocalClock
{
public:
    static constexpr qint64 kRefreshMs = 1000;

    // The local date and time of nUtcMs (ms since the epoch), carrying its
    // offset from UTC.
    QDateTime Local(qint64 nUtcMs);
    QDateTime Now();
    int OffsetFromUtc(qint64 nUtcMs);

    // Times the system was asked, for tests.
    int Refreshes() const { return m_nRefreshes; }

private:
    bool ZoneChanged() const;
    void Refresh(qint64 nUtcMs);
    static int OffsetAsked(qint64 nUtcMs);

    qint64 m_nFromMs = 0;
    qint64 m_nUntilMs = 0; // the offset holds in [m_nFromMs, m_nUntilMs)
    int m_nOffset = 0;
    QByteArray m_zone; // TZ as it was at the refresh
    bool m_bZoneSet = false;
    int m_nRefreshes = 0;
};

#endif
