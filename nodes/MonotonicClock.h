#ifndef DOSEGATE_MONOTONICCLOCK_H
#define DOSEGATE_MONOTONICCLOCK_H

#include <QtGlobal>

#include <functional>

// Milliseconds that only go forward, from an arbitrary start. The board and
// the request plan take the clock as a function, so tests set the time
// instead of waiting for it.
class MonotonicClock
{
public:
    using Source = std::function<qint64()>;

    static Source System();
};

#endif
