// Cost of the live trend as a run grows: adding the n-th reading (with its
// mean), handing the new points to the chart, and repainting the chart, for
// n = 10, 1,000 and 10,000.
//
//   bench_trend [--repeat K]
#include "ReadingTrend.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

constexpr int kWidth = 1000;
constexpr int kHeight = 220;

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Readings as a node at 0.09 uSv/h gives them: noisy counts of 0.0056 each.
class Run
{
public:
    explicit Run(ReadingTrend& trend)
        : m_trend(trend)
        , m_counts(16.0)
    {
        m_trend.SetLimits(0.09, 0.099, 0.081);
    }
    void Add()
    {
        const double reading = m_counts(m_random) * 0.0056;
        m_trend.AddReading(reading);
        m_trend.AddMean(reading); // from the first reading, so that every n does the same work
    }

private:
    ReadingTrend& m_trend;
    std::mt19937 m_random { 7 };
    std::poisson_distribution<int> m_counts;
};

struct Figures {
    double appendUs;
    double refreshMs;
    double repaintMs;
};

Figures Measure(int readings, int repeat)
{
    std::vector<double> append, refresh, repaint;
    for (int r = 0; r < repeat; ++r) {
        ReadingTrend trend;
        trend.resize(kWidth, kHeight);
        Run run(trend);
        for (int i = 1; i < readings - 1; ++i)
            run.Add();
        trend.Refresh();
        run.Add(); // after the refresh, memory is cold for the first add at any n

        QElapsedTimer timer;
        timer.start();
        run.Add();
        append.push_back(timer.nsecsElapsed() / 1e3);

        timer.restart();
        trend.Refresh();
        refresh.push_back(timer.nsecsElapsed() / 1e6);

        QImage image(trend.size(), QImage::Format_ARGB32_Premultiplied);
        timer.restart();
        QPainter painter(&image);
        trend.render(&painter);
        painter.end();
        repaint.push_back(timer.nsecsElapsed() / 1e6);
    }
    return { Median(append), Median(refresh), Median(repaint) };
}

} // namespace

int main(int argc, char* argv[])
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    int repeat = 31;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--repeat") == 0)
            repeat = std::max(1, std::atoi(argv[i + 1]));
    }
    std::printf("live trend, %d x %d px, medians of %d runs\n", kWidth, kHeight, repeat);
    std::printf("%9s  %16s  %14s  %14s\n", "readings", "add n-th (us)", "refresh (ms)", "repaint (ms)");
    for (int readings : { 10, 1000, 10000 }) {
        const Figures f = Measure(readings, repeat);
        std::printf("%9d  %16.2f  %14.2f  %14.2f\n", readings, f.appendUs, f.refreshMs, f.repaintMs);
    }
    return 0;
}
