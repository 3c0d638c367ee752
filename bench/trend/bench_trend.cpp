// The live trend as a run grows to 10, 1,000 and 10,000 readings: adding
// the n-th reading with its mean, handing the points to the chart, and
// repainting the 1,000 x 220 px chart. Readings as a node at 0.09 uSv/h
// gives them: noisy counts of 0.0056 each.
#include "ReadingTrend.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTest>

#include <random>

namespace {

class Run
{
public:
    explicit Run(int readings)
    {
        trend.resize(1000, 220);
        trend.SetLimits(0.09, 0.099, 0.081);
        for (int i = 1; i < readings - 1; ++i)
            Add();
        trend.Refresh();
        Add(); // after a refresh memory is cold: the measured reading comes next
    }
    void Add()
    {
        const double reading = m_counts(m_random) * 0.0056;
        trend.AddReading(reading);
        trend.AddMean(reading); // from the first reading, so every n does the same work
    }
    ReadingTrend trend;

private:
    std::mt19937 m_random { 7 };
    std::poisson_distribution<int> m_counts { 16.0 };
};

} // namespace

class BenchTrend : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase_data();
    void addReading();
    void refresh();
    void repaint();
};

void BenchTrend::initTestCase_data()
{
    QTest::addColumn<int>("readings");
    for (int readings : { 10, 1000, 10000 })
        QTest::addRow("%d", readings) << readings;
}

// Each is timed alone, as it comes in a run: the n-th reading, the refresh
// that hands the new points to the chart, and the repaint after it (a
// repaint of unchanged points finds the chart's paths cached). One reading
// is too quick for the benchmark clock's milliseconds, so nanoseconds are
// given; -median N runs each N times.
void BenchTrend::addReading()
{
    QFETCH_GLOBAL(int, readings);
    Run run(readings);
    QElapsedTimer clock;
    clock.start();
    run.Add();
    QTest::setBenchmarkResult(qreal(clock.nsecsElapsed()), QTest::WalltimeNanoseconds);
}

void BenchTrend::refresh()
{
    QFETCH_GLOBAL(int, readings);
    Run run(readings);
    run.Add();
    QElapsedTimer clock;
    clock.start();
    run.trend.Refresh();
    QTest::setBenchmarkResult(qreal(clock.nsecsElapsed()), QTest::WalltimeNanoseconds);
}

void BenchTrend::repaint()
{
    QFETCH_GLOBAL(int, readings);
    Run run(readings);
    run.Add();
    run.trend.Refresh();
    QImage image(run.trend.size(), QImage::Format_ARGB32_Premultiplied);
    QElapsedTimer clock;
    clock.start();
    QPainter painter(&image);
    run.trend.render(&painter);
    painter.end();
    QTest::setBenchmarkResult(qreal(clock.nsecsElapsed()), QTest::WalltimeNanoseconds);
}

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    BenchTrend bench;
    return QTest::qExec(&bench, argc, argv);
}

#include "bench_trend.moc"
