#include "FiringTimers.h"

#include <QCoreApplication>
#include <QEvent>

FiringTimers::FiringTimers(int intervalMs, QObject* parent)
    : QObject(parent)
    , m_nIntervalMs(intervalMs)
{
    QCoreApplication::instance()->installEventFilter(this);
}

FiringTimers::~FiringTimers()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool FiringTimers::AnyActive() const
{
    for (const QPointer<QTimer>& timer : m_timers) {
        if (timer && timer->isActive())
            return true;
    }
    return false;
}

bool FiringTimers::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Timer) {
        auto* timer = qobject_cast<QTimer*>(watched);
        if (timer && timer->interval() == m_nIntervalMs && !m_timers.contains(timer))
            m_timers << timer;
    }
    return false;
}
