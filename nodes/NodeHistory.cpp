#include "NodeHistory.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {
constexpr int kSecondsPerPoint = NodeHistory::kSeconds / NodeHistory::kTrendPoints;
constexpr float kNone = std::numeric_limits<float>::quiet_NaN();
} // namespace

NodeHistory::NodeHistory() = default;

// Whole seconds, rounded down also before the clock's start.
qint64 NodeHistory::SecondOf(qint64 ms)
{
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

const NodeHistory::Slot* NodeHistory::SlotOf(qint64 second) const
{
    const Slot& slot = m_slots[std::size_t(((second % kSeconds) + kSeconds) % kSeconds)];
    return slot.second == second ? &slot : nullptr;
}

void NodeHistory::Add(float dose, qint64 nowMs)
{
    const qint64 second = SecondOf(nowMs);
    Slot& slot = m_slots[std::size_t(((second % kSeconds) + kSeconds) % kSeconds)];
    if (slot.second != second) {
        slot = Slot();
        slot.second = second;
        slot.minimum = dose;
        slot.maximum = dose;
    }
    ++slot.count;
    slot.sum += dose;
    slot.minimum = std::min(slot.minimum, dose);
    slot.maximum = std::max(slot.maximum, dose);
}

NodeHistory::Summary NodeHistory::Summarise(qint64 nowMs) const
{
    Summary summary;
    const qint64 now = SecondOf(nowMs);
    float minimum = std::numeric_limits<float>::infinity();
    float maximum = -std::numeric_limits<float>::infinity();
    double sum = 0;
    for (qint64 second = now - kSeconds + 1; second <= now; ++second) {
        const Slot* slot = SlotOf(second);
        if (!slot)
            continue;
        summary.count += slot->count;
        if (second > now - kMinuteSeconds)
            summary.lastMinute += slot->count;
        sum += slot->sum;
        minimum = std::min(minimum, slot->minimum);
        maximum = std::max(maximum, slot->maximum);
    }
    if (summary.count) {
        summary.minimum = minimum;
        summary.maximum = maximum;
        summary.mean = float(sum / summary.count);
    }
    return summary;
}

void NodeHistory::Trend(qint64 nowMs, QVector<float>& points) const
{
    points.resize(kTrendPoints);
    const qint64 first = SecondOf(nowMs) - kSeconds + 1;
    for (int point = 0; point < kTrendPoints; ++point) {
        int count = 0;
        double sum = 0;
        for (int i = 0; i < kSecondsPerPoint; ++i) {
            if (const Slot* slot = SlotOf(first + point * kSecondsPerPoint + i)) {
                count += slot->count;
                sum += slot->sum;
            }
        }
        points[point] = count ? float(sum / count) : kNone;
    }
}
