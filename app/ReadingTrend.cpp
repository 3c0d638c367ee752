#include "ReadingTrend.h"

#include <QFontMetricsF>
#include <QtCharts/QLegendMarker>

#include <algorithm>

#include <cmath>

namespace {

// The x axis spans at least one averaging window, so the first readings of
// a run are not stretched across the whole chart.
constexpr int kMinimumSpan = 20;
constexpr double kPadding = 0.1;

const char* const kLimitNames[] = { QT_TRANSLATE_NOOP("ReadingTrend", "true value"),
                                    QT_TRANSLATE_NOOP("ReadingTrend", "upper / lower limit"),
                                    QT_TRANSLATE_NOOP("ReadingTrend", "lower limit") };

// The least of 1, 2 or 5 times a power of ten that is at least raw.
double NiceStep(double raw)
{
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    for (double factor : { 1.0, 2.0, 5.0 }) {
        if (factor * power >= raw * (1.0 - 1e-9))
            return factor * power;
    }
    return 10.0 * power;
}

// About five ticks at 1, 2 or 5 times a power of ten, counted from 0.
double TickInterval(double span)
{
    return NiceStep(span / 5.0);
}

// The width the trend asks for: two minutes of readings, some 25 px apart.
constexpr int kPreferredWidth = 1600;

// A label's height and as much again between two labels: closer, the chart
// cuts its labels to "...".
constexpr double kLabelPitch = 2.0;
// Before the first layout the plot area is unknown: most of the view.
constexpr double kPlotShare = 0.75;

QPen LinePen(const QColor& colour, qreal width, Qt::PenStyle style = Qt::SolidLine)
{
    QPen pen(colour, width, style);
    pen.setCosmetic(true);
    return pen;
}

} // namespace

ReadingTrend::ReadingTrend(QWidget* parent)
    : QChartView(parent)
    , m_pAxisX(nullptr)
    , m_pAxisY(nullptr)
    , m_pReadings(nullptr)
    , m_pSteps(nullptr)
    , m_pLimits {}
    , m_pData(&m_own)
    , m_nFrozen(0)
    , m_nClearsDrawn(0)
    , m_bBuilt(false)
    , m_fFittedHeight(0)
{
    setRenderHint(QPainter::Antialiasing);
    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(kRefreshMs);
    connect(&m_refreshTimer, SIGNAL(timeout()), this, SLOT(RefreshShown()));
}

void ReadingTrend::SetData(RunTrend* data)
{
    m_pData = data;
    m_nClearsDrawn = -1; // nothing drawn so far is of it
    ScheduleRefresh();
}

QSize ReadingTrend::sizeHint() const
{
    return QSize(kPreferredWidth, minimumHeight());
}

void ReadingTrend::BuildChart()
{
    m_bBuilt = true;
    m_pAxisX = new QValueAxis;
    m_pAxisY = new QValueAxis;
    m_pSteps = new QScatterSeries;
    QChart* chart = new QChart;
    setChart(chart); // the view owns the chart, the chart its series and axes
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignRight);
    QFont small = font();
    small.setPointSize(9);
    chart->legend()->setFont(small);
    m_pAxisX->setLabelFormat(QStringLiteral("%d"));
    m_pAxisX->setTickType(QValueAxis::TicksDynamic);
    m_pAxisX->setTickAnchor(0);
    m_pAxisX->setLabelsFont(small);
    m_pAxisY->setLabelsFont(small);
    m_pAxisY->setTitleFont(small);
    m_pAxisY->setTitleText(QStringLiteral("uSv/h"));
    chart->addAxis(m_pAxisX, Qt::AlignBottom);
    chart->addAxis(m_pAxisY, Qt::AlignLeft);
    connect(chart, SIGNAL(plotAreaChanged(QRectF)), this, SLOT(FitToPlotArea()));

    m_pReadings = AddLine(tr("reading"), LinePen(QColor(0x20, 0x60, 0xb0), 1.0));
    AddMeanLine(); // for the stretch under way
    m_pLimits[0] = AddLine(tr(kLimitNames[0]), LinePen(QColor(0x20, 0x90, 0x40), 1.5));
    m_pLimits[1] = AddLine(tr(kLimitNames[1]), LinePen(QColor(0xc0, 0x30, 0x30), 1.0, Qt::DashLine));
    m_pLimits[2] = AddLine(tr(kLimitNames[2]), LinePen(QColor(0xc0, 0x30, 0x30), 1.0, Qt::DashLine));
    // Both limits are drawn alike: one entry in the legend says what they are.
    chart->legend()->markers(m_pLimits[2]).constFirst()->setVisible(false);
    m_pSteps->setName(tr("potentiometer step"));
    m_pSteps->setMarkerShape(QScatterSeries::MarkerShapeRectangle);
    m_pSteps->setMarkerSize(9);
    m_pSteps->setColor(QColor(0x70, 0x30, 0x90));
    m_pSteps->setBorderColor(m_pSteps->color());
    chart->addSeries(m_pSteps);
    m_pSteps->attachAxis(m_pAxisX);
    m_pSteps->attachAxis(m_pAxisY);
}

QLineSeries* ReadingTrend::AddLine(const QString& name, const QPen& pen)
{
    auto* series = new QLineSeries;
    series->setName(name);
    series->setPen(pen);
    chart()->addSeries(series);
    series->attachAxis(m_pAxisX);
    series->attachAxis(m_pAxisY);
    return series;
}

// Each stretch of means between two steps is a line of its own, under its
// band; only the first of each has an entry in the legend.
void ReadingTrend::AddMeanLine()
{
    auto* band = new QAreaSeries;
    band->setUpperSeries(new QLineSeries(band));
    band->setLowerSeries(new QLineSeries(band));
    band->setName(tr("mean ± U"));
    band->setPen(Qt::NoPen);
    band->setBrush(QColor(0xe0, 0x80, 0x10, 0x40));
    chart()->addSeries(band);
    band->attachAxis(m_pAxisX);
    band->attachAxis(m_pAxisY);
    QLineSeries* mean = AddLine(tr("mean"), LinePen(QColor(0xe0, 0x80, 0x10), 2.0));
    if (!m_listMeans.isEmpty()) {
        chart()->legend()->markers(mean).constFirst()->setVisible(false);
        chart()->legend()->markers(band).constFirst()->setVisible(false);
    }
    m_listMeans.append(mean);
    m_listBands.append(band);
}

void ReadingTrend::AddReading(double reading)
{
    m_pData->AddReading(reading);
    ScheduleRefresh();
}

void ReadingTrend::AddReading(const Reading& reading)
{
    AddReading(double(reading.value));
}

void ReadingTrend::AddMean(double mean, double low, double high)
{
    m_pData->AddMean(mean, low, high);
    ScheduleRefresh();
}

void ReadingTrend::MarkStep()
{
    m_pData->MarkStep();
    ScheduleRefresh();
}

void ReadingTrend::SetLimits(double trueValue, double upper, double lower)
{
    m_pData->SetLimits(trueValue, upper, lower);
    ScheduleRefresh();
}

void ReadingTrend::Clear()
{
    m_refreshTimer.stop();
    m_pData->Clear();
    RefreshShown();
}

void ReadingTrend::Changed()
{
    ScheduleRefresh();
}

void ReadingTrend::ScheduleRefresh()
{
    if (isVisible() && !m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void ReadingTrend::showEvent(QShowEvent* event)
{
    QChartView::showEvent(event);
    Refresh();
}

// A hidden trend does not redraw; showing it catches up.
void ReadingTrend::RefreshShown()
{
    if (isVisible())
        Refresh();
    else
        m_refreshTimer.stop();
}

// One replace per series: a single redraw however many points came.
void ReadingTrend::Refresh()
{
    if (!m_bBuilt)
        BuildChart();
    m_refreshTimer.stop();
    MatchStretches();
    m_pReadings->replace(m_pData->ReadingPoints().Points());
    m_listMeans.constLast()->replace(m_pData->Means().Points());
    m_listBands.constLast()->lowerSeries()->replace(m_pData->BandLow().Points());
    m_listBands.constLast()->upperSeries()->replace(m_pData->BandHigh().Points());
    m_pSteps->replace(m_pData->Steps());
    UpdateAxes();
}

void ReadingTrend::MatchStretches()
{
    if (m_nClearsDrawn != m_pData->Clears()) {
        m_nClearsDrawn = m_pData->Clears();
        m_nFrozen = 0;
        while (m_listMeans.size() > 1) {
            for (QAbstractSeries* stretch : { static_cast<QAbstractSeries*>(m_listMeans.takeLast()),
                                              static_cast<QAbstractSeries*>(m_listBands.takeLast()) }) {
                chart()->removeSeries(stretch);
                delete stretch;
            }
        }
    }
    const QVector<RunTrend::Stretch>& finished = m_pData->Finished();
    while (m_listMeans.size() < finished.size() + 1)
        AddMeanLine();
    for (; m_nFrozen < finished.size(); ++m_nFrozen) {
        const RunTrend::Stretch& stretch = finished[m_nFrozen];
        m_listMeans[m_nFrozen]->replace(stretch.means);
        m_listBands[m_nFrozen]->lowerSeries()->replace(stretch.low);
        m_listBands[m_nFrozen]->upperSeries()->replace(stretch.high);
    }
}

void ReadingTrend::UpdateAxes()
{
    const int span = std::max(kMinimumSpan, m_pData->Readings());
    m_pAxisX->setRange(0, span);
    m_pAxisX->setTickInterval(TickInterval(span));
    double low = m_pData->Low();
    double high = m_pData->High();
    for (int i = 0; i < 3; ++i) {
        const double limit = m_pData->Limit(i);
        m_pLimits[i]->replace(QVector<QPointF> { QPointF(0, limit), QPointF(span, limit) });
        if (std::isfinite(limit)) {
            low = std::min(low, limit);
            high = std::max(high, limit);
        }
    }
    const double pad = high > low ? (high - low) * kPadding : std::max(std::abs(high) * kPadding, 0.01);
    FitAxisY(low - pad, high + pad);
}

// Ticks at nice steps, no more than the axis's height has room for, and
// labels with just the decimals their step needs: every label stays whole.
void ReadingTrend::FitAxisY(double low, double high)
{
    if (!std::isfinite(low) || !std::isfinite(high) || !(high > low))
        return;
    const double plotHeight = chart()->plotArea().height() > 0 ? chart()->plotArea().height()
                                                                : height() * kPlotShare;
    const int most = std::max(2, int(plotHeight / (kLabelPitch * QFontMetricsF(m_pAxisY->labelsFont()).height())) + 1);
    double step = NiceStep((high - low) / (most - 1));
    double from = std::floor(low / step) * step;
    double to = std::ceil(high / step) * step;
    while (std::lround((to - from) / step) + 1 > most) {
        step = NiceStep(step * 1.5);
        from = std::floor(low / step) * step;
        to = std::ceil(high / step) * step;
    }
    const int decimals = std::max(0, int(std::ceil(-std::log10(step) - 1e-9)));
    m_pAxisY->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
    m_pAxisY->setRange(from, to);
    m_pAxisY->setTickCount(int(std::lround((to - from) / step)) + 1);
}

void ReadingTrend::FitToPlotArea()
{
    const double plotHeight = chart()->plotArea().height();
    if (!m_bBuilt || plotHeight == m_fFittedHeight)
        return;
    m_fFittedHeight = plotHeight;
    UpdateAxes();
}
