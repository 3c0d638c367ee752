#include "WatchRequests.h"

WatchRequests::WatchRequests(QObject* parent)
    : QObject(parent)
    , m_clock(MonotonicClock::System())
{
    // A coarse timer may fire a little early and then wait a second round.
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setSingleShot(true);
    connect(&m_timer, SIGNAL(timeout()), this, SLOT(Fire()));
}

void WatchRequests::SetClock(MonotonicClock::Source clock)
{
    m_clock = std::move(clock);
}

void WatchRequests::SetWatching(bool on)
{
    Update(on, m_bRunActive);
}

void WatchRequests::SetRunActive(bool on)
{
    Update(m_bWatching, on);
}

void WatchRequests::Update(bool watching, bool runActive)
{
    const bool wasRequesting = Requesting();
    m_bWatching = watching;
    m_bRunActive = runActive;
    if (Requesting() != wasRequesting)
        emit RequestingChanged(Requesting());
    Plan();
}

void WatchRequests::NoteRunRequest()
{
    m_nLastRequestMs = m_clock();
    m_bRequested = true;
}

void WatchRequests::Fire()
{
    if (!Planning())
        return;
    const qint64 now = m_clock();
    if (m_bRequested && now - m_nLastRequestMs < kPeriodMs) {
        Plan();
        return;
    }
    m_nLastRequestMs = now;
    m_bRequested = true;
    emit RequestDue();
    Plan();
}

// The first request goes out at once, unless the last one, the run's
// included, is less than a period old.
void WatchRequests::Plan()
{
    m_timer.stop();
    if (!Planning())
        return;
    const qint64 wait = m_bRequested ? m_nLastRequestMs + kPeriodMs - m_clock() : 0;
    if (wait <= 0)
        Fire();
    else
        m_timer.start(int(wait));
}
