#ifndef DOSEGATE_TRENDENVELOPE_H
#define DOSEGATE_TRENDENVELOPE_H

#include <QPointF>
#include <QVector>

// A series thinned for drawing: its points fall into at most kMaxBuckets
// runs of equal length, each drawn as its lowest and highest point in the
// order they came. Up to kMaxBuckets points nothing is thinned; beyond, the
// runs double in length. A chart a thousand pixels wide shows the same line,
// spikes included, and redraws in the same time however long the series;
// the line always runs from the first point to the newest.
class TrendEnvelope
{
public:
    static constexpr int kMaxBuckets = 1024;

    // Points come in order of increasing x.
    void Append(const QPointF& point);
    void Clear();
    QVector<QPointF> Points() const;

private:
    struct Bucket {
        QPointF low;
        QPointF high;
    };

    void Halve();

    QVector<Bucket> m_buckets;
    int m_nPerBucket = 1;
    int m_nInLast = 0; // points in the newest bucket
    QPointF m_first;
    QPointF m_newest;
};

#endif
