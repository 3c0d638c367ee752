#include "MonotonicClock.h"

#include <QElapsedTimer>

MonotonicClock::Source MonotonicClock::System()
{
    return [] {
        static const QElapsedTimer started = [] {
            QElapsedTimer timer;
            timer.start();
            return timer;
        }();
        return started.elapsed();
    };
}
