#ifndef DOSEGATE_WATCHREQUESTS_H
#define DOSEGATE_WATCHREQUESTS_H

#include "MonotonicClock.h"

#include <QObject>
#include <QTimer>

// The dose requests that keep the board of nodes current: one every period
// while watching and the potentiometer run is off. While the run is on its
// own requests serve the board too, and the plan counts its period from the
// newest request of either, so that never two go out within one period.
class WatchRequests : public QObject
{
    Q_OBJECT

public:
    static constexpr int kPeriodMs = 2000;

    explicit WatchRequests(QObject* parent = nullptr);

    void SetClock(MonotonicClock::Source clock);
    // Whether requests go out at all, the run's or the plan's.
    bool Requesting() const { return m_bWatching || m_bRunActive; }

public slots:
    void SetWatching(bool on);
    void SetRunActive(bool on);
    // The run has just sent a request of its own.
    void NoteRunRequest();
    // Sends the next request if it is due, else plans it; the timer's slot.
    void Fire();

signals:
    void RequestDue();
    void RequestingChanged(bool on);

private:
    bool Planning() const { return m_bWatching && !m_bRunActive; }
    void Plan();
    void Update(bool watching, bool runActive);

    MonotonicClock::Source m_clock;
    QTimer m_timer;
    bool m_bWatching = false;
    bool m_bRunActive = false;
    bool m_bRequested = false; // whether m_nLastRequestMs holds one
    qint64 m_nLastRequestMs = 0;
};

#endif
