#ifndef DOSEGATE_READINGTREND_H
#define DOSEGATE_READINGTREND_H

#include "ChartsCompat.h"
#include "Reading.h"
#include "RunTrend.h"

#include <QList>
#include <QPointF>
#include <QTimer>
#include <QVector>

#include <limits>

// The run's trend as a chart, drawn from a RunTrend: its own, or one kept
// elsewhere (the session's), which may hold readings from before the chart
// was made. Adding a point only stores it; the series take what is new at
// most once per refresh period, thinned to what the chart can show, so a
// reading costs the same however long the run, a redraw stays bounded, and a
// flood of readings redraws the chart a few times a second, not once per
// reading.
// The chart itself (axes, series, legend) is built when the trend is first
// shown or refreshed on request, not with the window; while hidden the
// trend only stores.
class ReadingTrend : public QChartView
{
    Q_OBJECT

public:
    static constexpr int kRefreshMs = 100;

    explicit ReadingTrend(QWidget* parent = nullptr);

    // Draws data kept elsewhere from now on, which outlives the trend; what
    // is added here goes there too.
    void SetData(RunTrend* data);
    const RunTrend& Data() const { return *m_pData; }

    void AddReading(double reading);
    // A step at the newest reading; the mean line breaks there, as the
    // averaging starts again.
    void MarkStep();
    void SetLimits(double trueValue, double upper, double lower);
    // A fresh table: no readings, no means, no steps.
    void Clear();

    // Wide: a run's readings spread out as far as the screen allows.
    QSize sizeHint() const override;

    int ReadingCount() const { return m_pData->Readings(); }
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
    // The data drawn changed where it is kept: redrawn within a refresh
    // period while shown.
    void Changed();

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
    // The series follow the data's stretches, and start afresh after a clear.
    void MatchStretches();
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
    RunTrend m_own;
    RunTrend* m_pData;
    int m_nFrozen;      // finished stretches drawn
    int m_nClearsDrawn; // the data's clears the series have followed
    bool m_bBuilt;
    double m_fFittedHeight;
    QTimer m_refreshTimer;
};

#endif
