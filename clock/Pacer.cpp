#include "Pacer.h"

Pacer::Pacer(int periodMs, QObject* parent)
    : QObject(parent)
    , m_bPending(false)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(periodMs);
    connect(&m_timer, SIGNAL(timeout()), this, SLOT(PeriodEnded()));
}

void Pacer::Request()
{
    m_bPending = true;
    if (!m_timer.isActive())
        Serve();
}

void Pacer::Flush()
{
    if (m_bPending)
        Serve();
}

void Pacer::PeriodEnded()
{
    if (m_bPending)
        Serve();
}

// The period starts before Due: a request made by a slot of Due waits for
// the period's end rather than recursing.
void Pacer::Serve()
{
    m_bPending = false;
    m_timer.start();
    emit Due();
}
