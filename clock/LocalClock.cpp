#include "LocalClock.h"

#include <cstdlib>
#include <cstring>

QDateTime LocalClock::Local(qint64 nUtcMs)
{
    return QDateTime::fromMSecsSinceEpoch(nUtcMs, Qt::OffsetFromUTC, OffsetFromUtc(nUtcMs));
}

QDateTime LocalClock::Now()
{
    return Local(QDateTime::currentMSecsSinceEpoch());
}

int LocalClock::OffsetFromUtc(qint64 nUtcMs)
{
    if (nUtcMs < m_nFromMs || nUtcMs >= m_nUntilMs || ZoneChanged())
        Refresh(nUtcMs);
    return m_nOffset;
}

// getenv is a scan of a short list, no system call.
bool LocalClock::ZoneChanged() const
{
    const char* zone = std::getenv("TZ");
    if (!zone)
        return m_bZoneSet;
    return !m_bZoneSet || std::strcmp(zone, m_zone.constData()) != 0;
}

// The offset is kept for a second either side, so that instants a little
// out of order (arrival times beside the time now) do not refresh it. A
// change of offset within that span (a daylight saving switch) shows as a
// different offset at one of its ends; then nothing is kept and each instant
// near the switch is asked for itself.
void LocalClock::Refresh(qint64 nUtcMs)
{
    ++m_nRefreshes;
    const char* zone = std::getenv("TZ");
    m_bZoneSet = zone != nullptr;
    m_zone = zone ? QByteArray(zone) : QByteArray();
    m_nOffset = OffsetAsked(nUtcMs);
    const bool steady
        = OffsetAsked(nUtcMs - kRefreshMs) == m_nOffset && OffsetAsked(nUtcMs + kRefreshMs - 1) == m_nOffset;
    m_nFromMs = steady ? nUtcMs - kRefreshMs : nUtcMs;
    m_nUntilMs = steady ? nUtcMs + kRefreshMs : nUtcMs;
}

int LocalClock::OffsetAsked(qint64 nUtcMs)
{
    return QDateTime::fromMSecsSinceEpoch(nUtcMs, Qt::LocalTime).offsetFromUtc();
}
