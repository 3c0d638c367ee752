#ifndef DOSEGATE_READINGTREND_H
#define DOSEGATE_READINGTREND_H

#include "ChartsCompat.h"
#include "Reading.h"
#include "TrendEnvelope.h"

#include <QList>
#include <QPointF>
#include <QTimer>
#include <QVector>

#include <limits>

// The run as a chart: every accepted reading in order, the mean of each full
// averaging window with the band of its expanded uncertainty, the
// potentiometer steps, and the true value with its limits. Adding a point only stores it; the series take what is new at most
// once per refresh period, thinned to what the chart can show, so a reading
// costs the same however long the run, a redraw stays bounded, and a flood
// of readings redraws the chart a few times a second, not once per reading.
// The chart itself (axes, series, legend) is built when the trend is first
// shown or refreshed on request, not with the window; while hidden the
// trend only stores.
class ReadingTrend : public QChartView
{
    Q_OBJECT

public:
    static constexpr int kRefreshMs = 100;

    explicit ReadingTrend(QWidget* parent = nullptr);

    void AddReading(double reading);
    // A step at the newest reading; the mean line breaks there, as the
    // averaging starts again.
    void MarkStep();
    void SetLimits(double trueValue, double upper, double lower);
    // A fresh table: no readings, no means, no steps.
    void Clear();

    // Wide: a run's readings spread out as far as the screen allows.
    QSize sizeHint() const override;

    int ReadingCount() const { return m_nReadings; }
    // What the chart shows once the pending points are in, for tests.
    const QLineSeries* ReadingSeries() const { return m_pReadings; }
    const QList<QLineSeries*>& MeanSeries() const { return m_listMeans; }
    const QScatterSeries* StepSeries() const { return m_pSteps; }
    const QLineSeries* LimitSeries(int index) const { return m_pLimits[index]; }
    // One band per stretch of means, as the mean lines.
    const QList<QAreaSeries*>& BandSeries() const { return m_listBands; }

public slots:
    void AddReading(const Reading& reading);
    // The mean of the window that ends with the newest reading, and the
    // bounds of its uncertainty band (NaN while it has none).
    void AddMean(double mean, double low = std::numeric_limits<double>::quiet_NaN(),
                 double high = std::numeric_limits<double>::quiet_NaN());
    // Builds the chart if need be and hands it what is new.
    void Refresh();

protected:
    void showEvent(QShowEvent* event) override;

private slots:
    void RefreshShown();
    // The y axis's ticks follow the plot's height.
    void FitToPlotArea();

private:
    void BuildChart();
    QLineSeries* AddLine(const QString& name, const QPen& pen);
    void AddMeanLine();
    void StartMeanSegment();
    void Extend(double value);
    void ScheduleRefresh();
    void UpdateAxes();
    void FitAxisY(double low, double high);

    QValueAxis* m_pAxisX;
    QValueAxis* m_pAxisY;
    QLineSeries* m_pReadings;
    QList<QLineSeries*> m_listMeans; // one per stretch between steps
    QList<QAreaSeries*> m_listBands; // with each stretch of means
    QScatterSeries* m_pSteps;
    QLineSeries* m_pLimits[3]; // true value, upper, lower
    TrendEnvelope m_readings;
    TrendEnvelope m_means; // of the newest stretch
    TrendEnvelope m_bandLow; // ditto
    TrendEnvelope m_bandHigh;
    QVector<QPointF> m_steps;
    double m_limits[3];
    int m_nReadings;
    QPointF m_lastReading;
    double m_fLow;
    double m_fHigh;
    bool m_bNewStretch;
    bool m_bBuilt;
    double m_fFittedHeight;
    QTimer m_refreshTimer;
};

#endif
