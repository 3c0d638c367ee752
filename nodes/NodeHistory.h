#ifndef DOSEGATE_NODEHISTORY_H
#define DOSEGATE_NODEHISTORY_H

#include <QVector>
#include <QtGlobal>

#include <array>
#include <limits>

// The last ten minutes of one node's doses, one slot per second in a ring:
// a flood of frames lands in the slots of their seconds, so the memory is
// the same after ten minutes as after ten days, and the figures cost the
// same at 1 frame/s as at 1,000.
class NodeHistory
{
public:
    static constexpr int kSeconds = 600;
    static constexpr int kMinuteSeconds = 60;
    static constexpr int kTrendPoints = 120;

    struct Summary {
        int lastMinute = 0; // doses in the last 60 s
        int count = 0;      // doses in the last 10 min; the rest is NaN without any
        float minimum = std::numeric_limits<float>::quiet_NaN();
        float mean = std::numeric_limits<float>::quiet_NaN();
        float maximum = std::numeric_limits<float>::quiet_NaN();
    };

    NodeHistory();

    void Add(float dose, qint64 nowMs);
    Summary Summarise(qint64 nowMs) const;
    // The ten minutes as kTrendPoints means, oldest first; NaN where the
    // node sent nothing.
    void Trend(qint64 nowMs, QVector<float>& points) const;

private:
    struct Slot {
        // Whose doses the slot holds; no second is this one, so an unused
        // slot never passes for one with no doses in it.
        qint64 second = std::numeric_limits<qint64>::min();
        int count = 0;
        float minimum = 0;
        float maximum = 0;
        double sum = 0;
    };

    static qint64 SecondOf(qint64 ms);
    const Slot* SlotOf(qint64 second) const;

    std::array<Slot, kSeconds> m_slots;
};

#endif
