// Start-up of the console window against a bare QApplication showing an
// empty QWidget: time from spawning the process to the window shown, and
// the peak memory of each. Each sample is a fresh child process; the two
// take turns, the first of each pair alternating, after one untimed run of
// each to warm the page cache.
//
//   bench_startup [--runs N] [--platform NAME]   (15 runs, offscreen)
#include "BenchSupport.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>

namespace {

struct Step {
    const char* from;
    const char* to;
    const char* label;
};

const Step kSteps[] = {
    { nullptr, "main", "spawn to main(): exec, loader, static init" },
    { "main", "app", "QApplication constructed" },
    { "app", "window", "window constructed" },
    { "window", "shown", "show()" },
    { "shown", "exposed", "to the first expose event" },
    { "exposed", "painted", "first expose handled (paint, flush)" },
    { nullptr, "exposed", "total: spawn to first expose" },
    { nullptr, "painted", "total: spawn to window shown (painted)" },
    { nullptr, "rss", "peak RSS at window shown (MiB, median)" },
};

// The clock the child reads.
long long SteadyNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double Median(const QList<QMap<QString, double>>& samples, const char* from, const char* to)
{
    std::vector<double> values;
    for (const auto& sample : samples)
        values.push_back(sample.value(to) - (from ? sample.value(from) : 0.0));
    return Bench::Median(values);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int runs = Bench::IntArgument(arguments, "--runs", 15);
    const QString platform = Bench::TextArgument(arguments, "--platform", "offscreen");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    const QString programs[2] = { QStringLiteral(STARTUP_CONSOLE), QStringLiteral(STARTUP_BARE) };
    QList<QMap<QString, double>> samples[2];
    for (int round = -1; round < runs; ++round) {
        for (int k = 0; k < 2; ++k) {
            const int which = (round + 2 + k) % 2; // 0 console, 1 bare; the first alternates
            QString error;
            const auto sample = Bench::RunChild(programs[which], { "--t0", QString::number(SteadyNs()) },
                                                "startup", &error, environment);
            if (sample.isEmpty()) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return 1;
            }
            if (round >= 0)
                samples[which] << sample;
        }
    }

    std::printf("Start-up to the window shown, QT_QPA_PLATFORM=%s, %d runs of each, medians in ms\n",
                qPrintable(platform), runs);
    std::printf("  %-44s %9s %9s %9s\n", "phase", "console", "bare", "diff");
    for (const Step& s : kSteps) {
        const double console = Median(samples[0], s.from, s.to);
        const double bare = Median(samples[1], s.from, s.to);
        std::printf("  %-44s %9.2f %9.2f %+9.2f\n", s.label, console, bare, console - bare);
    }
    for (int m = 0; m < 2; ++m) {
        std::vector<double> shown;
        for (const auto& sample : samples[m])
            shown.push_back(sample.value("painted"));
        std::printf("  %-44s %9.2f .. %.2f\n", m == 0 ? "console window shown, min .. max" : "bare window shown, min .. max",
                    *std::min_element(shown.begin(), shown.end()), *std::max_element(shown.begin(), shown.end()));
    }
    std::printf("ratio console/bare, time to window shown: %.2f (to first expose: %.2f); goal: at most 2 offscreen, "
                "1.3 under X\n",
                Median(samples[0], nullptr, "painted") / Median(samples[1], nullptr, "painted"),
                Median(samples[0], nullptr, "exposed") / Median(samples[1], nullptr, "exposed"));
    std::printf("ratio console/bare, peak RSS: %.2f\n",
                Median(samples[0], nullptr, "rss") / Median(samples[1], nullptr, "rss"));
    return 0;
}
