#ifndef DOSEGATE_RUNTREND_H
#define DOSEGATE_RUNTREND_H

#include "TrendEnvelope.h"

#include <QPointF>
#include <QVector>

// The run's trend as data: every accepted reading in order, the mean of each
// full averaging window with the band of its expanded uncertainty, the
// potentiometer steps, and the true value with its limits, each series
// thinned for drawing. Adding a point only stores it, at the same cost
// however long the run; a chart made at any time draws all of it.
class RunTrend
{
public:
    RunTrend();

    // The means between two steps, as they stood when the next stretch began.
    struct Stretch
    {
        QVector<QPointF> means;
        QVector<QPointF> low;
        QVector<QPointF> high;
    };

    void AddReading(double reading);
    // The mean of the window that ends with the newest reading, and the
    // bounds of its uncertainty band (NaN while it has none).
    void AddMean(double mean, double low, double high);
    // A step at the newest reading; the means break there, as the averaging
    // starts again.
    void MarkStep();
    void SetLimits(double trueValue, double upper, double lower);
    // A fresh table: no readings, no means, no steps; the limits stay.
    void Clear();

    int Readings() const { return m_nReadings; }
    const TrendEnvelope& ReadingPoints() const { return m_readings; }
    const QVector<Stretch>& Finished() const { return m_finished; }
    // The stretch under way.
    const TrendEnvelope& Means() const { return m_means; }
    const TrendEnvelope& BandLow() const { return m_bandLow; }
    const TrendEnvelope& BandHigh() const { return m_bandHigh; }
    const QVector<QPointF>& Steps() const { return m_steps; }
    // True value, upper, lower.
    double Limit(int index) const { return m_limits[index]; }
    // The finite values drawn, limits aside; low > high while there is none.
    double Low() const { return m_fLow; }
    double High() const { return m_fHigh; }
    // Counts the clears: what was drawn before one is gone.
    int Clears() const { return m_nClears; }

private:
    void Extend(double value);

    TrendEnvelope m_readings;
    QVector<Stretch> m_finished;
    TrendEnvelope m_means;
    TrendEnvelope m_bandLow;
    TrendEnvelope m_bandHigh;
    QVector<QPointF> m_steps;
    double m_limits[3] = { 0.0, 0.0, 0.0 };
    int m_nReadings = 0;
    int m_nClears = 0;
    QPointF m_lastReading;
    double m_fLow;
    double m_fHigh;
    bool m_bNewStretch = false;
};

#endif
