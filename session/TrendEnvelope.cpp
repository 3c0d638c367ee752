#include "TrendEnvelope.h"

void TrendEnvelope::Append(const QPointF& point)
{
    if (m_buckets.isEmpty())
        m_first = point;
    m_newest = point;
    if (!m_buckets.isEmpty() && m_nInLast < m_nPerBucket) {
        Bucket& last = m_buckets.last();
        if (point.y() < last.low.y())
            last.low = point;
        if (point.y() > last.high.y())
            last.high = point;
        ++m_nInLast;
        return;
    }
    if (m_buckets.size() == kMaxBuckets)
        Halve();
    m_buckets.append({ point, point });
    m_nInLast = 1;
}

// Merges neighbours pairwise: amortised, each point is merged once per
// doubling, so appending stays constant in cost.
void TrendEnvelope::Halve()
{
    const int count = m_buckets.size();
    int merged = 0;
    for (int i = 0; i + 1 < count; i += 2) {
        const Bucket& a = m_buckets.at(i);
        const Bucket& b = m_buckets.at(i + 1);
        m_buckets[merged++] = { b.low.y() < a.low.y() ? b.low : a.low, b.high.y() > a.high.y() ? b.high : a.high };
    }
    if (count % 2 == 1) {
        m_buckets[merged++] = m_buckets.at(count - 1);
    } else {
        m_nInLast += m_nPerBucket; // the newest bucket took in its full neighbour
    }
    m_buckets.resize(merged);
    m_nPerBucket *= 2;
}

void TrendEnvelope::Clear()
{
    m_buckets.clear();
    m_nPerBucket = 1;
    m_nInLast = 0;
}

QVector<QPointF> TrendEnvelope::Points() const
{
    QVector<QPointF> points;
    points.reserve(2 * m_buckets.size() + 2);
    if (!m_buckets.isEmpty() && m_buckets.constFirst().low != m_first && m_buckets.constFirst().high != m_first)
        points.append(m_first);
    for (const Bucket& bucket : m_buckets) {
        if (bucket.low == bucket.high) {
            points.append(bucket.low);
        } else if (bucket.low.x() < bucket.high.x()) {
            points.append(bucket.low);
            points.append(bucket.high);
        } else {
            points.append(bucket.high);
            points.append(bucket.low);
        }
    }
    if (!points.isEmpty() && points.constLast() != m_newest)
        points.append(m_newest);
    return points;
}
