// Start-up of the console window against a bare QApplication showing an
// empty QWidget: time from spawning the process to the window shown, and
// the peak memory of each.
//
//   bench_startup [--runs N] [--platform NAME]
//
// Each sample is a fresh child process (startup_console or startup_bare).
// The parent stamps CLOCK_MONOTONIC just before it spawns the child and
// passes the stamp on; the child subtracts it at each milestone, so the
// figures cover fork and exec, dynamic loading and static initialisers,
// but not the trip of the printed line back through the pipe. The two
// children take turns, the first of each pair alternating, after one
// untimed run of each to warm the page cache.
#include <QCoreApplication>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

struct Options
{
    int nRuns = 15;
    QString platform = QStringLiteral("offscreen");
};

Options ParseOptions(const QStringList& args)
{
    Options options;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--runs"))
            options.nRuns = std::max(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--platform"))
            options.platform = args.at(i + 1);
    }
    return options;
}

long long Now()
{
    timespec ts {};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1000000000LL + ts.tv_nsec;
}

using Sample = QMap<QString, double>; // milestone (ms) or maxrss_kb

bool RunChild(const QString& program, const QString& platform, Sample& sample, QString& error)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    child.setProcessEnvironment(environment);
    const long long t0 = Now();
    child.start(program, { QStringLiteral("--t0"), QString::number(t0) });
    if (!child.waitForFinished(30000)) {
        child.kill();
        child.waitForFinished(5000);
        error = QStringLiteral("did not finish: ") + child.errorString();
        return false;
    }
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1String("startup ")))
            continue;
        for (const QString& field : line.mid(8).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const int eq = field.indexOf(QLatin1Char('='));
            if (eq > 0)
                sample.insert(field.left(eq), field.mid(eq + 1).toDouble());
        }
    }
    if (!sample.contains(QStringLiteral("painted"))) {
        error = QStringLiteral("exit code %1, no start-up line; stderr: %2")
                    .arg(child.exitCode())
                    .arg(QString::fromLocal8Bit(child.readAllStandardError()).trimmed());
        return false;
    }
    return true;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

struct Phase
{
    const char* from;
    const char* to;
    const char* label;
};

const Phase kPhases[] = {
    { nullptr, "main", "spawn to main(): exec, loader, static init" },
    { "main", "app", "QApplication constructed" },
    { "app", "window", "window constructed" },
    { "window", "shown", "show()" },
    { "shown", "exposed", "to the first expose event" },
    { "exposed", "painted", "first expose handled (paint, flush)" },
};

std::vector<double> Values(const std::vector<Sample>& samples, const char* from, const char* to)
{
    std::vector<double> values;
    for (const Sample& s : samples)
        values.push_back(s.value(QLatin1String(to)) - (from ? s.value(QLatin1String(from)) : 0.0));
    return values;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    const Options options = ParseOptions(QCoreApplication::arguments());
    const QString programs[2] = { QStringLiteral(STARTUP_CONSOLE), QStringLiteral(STARTUP_BARE) };
    std::vector<Sample> samples[2];

    for (int round = -1; round < options.nRuns; ++round) {
        for (int k = 0; k < 2; ++k) {
            const int which = (round + 2 + k) % 2; // 0 console, 1 bare; the first alternates
            Sample sample;
            QString error;
            if (!RunChild(programs[which], options.platform, sample, error)) {
                std::fprintf(stderr, "%s: %s\n", qPrintable(programs[which]), qPrintable(error));
                return 1;
            }
            if (round >= 0)
                samples[which].push_back(sample);
        }
    }

    std::printf("Start-up to the window shown, QT_QPA_PLATFORM=%s, %d runs of each, medians in ms\n",
                qPrintable(options.platform), options.nRuns);
    std::printf("  %-44s %9s %9s %9s\n", "phase", "console", "bare", "diff");
    for (const Phase& p : kPhases) {
        const double c = Median(Values(samples[0], p.from, p.to));
        const double b = Median(Values(samples[1], p.from, p.to));
        std::printf("  %-44s %9.2f %9.2f %+9.2f\n", p.label, c, b, c - b);
    }
    double shown[2];
    double exposed[2];
    for (int m = 0; m < 2; ++m) {
        shown[m] = Median(Values(samples[m], nullptr, "painted"));
        exposed[m] = Median(Values(samples[m], nullptr, "exposed"));
    }
    std::printf("  %-44s %9.2f %9.2f %+9.2f\n", "total: spawn to first expose", exposed[0], exposed[1],
                exposed[0] - exposed[1]);
    std::printf("  %-44s %9.2f %9.2f %+9.2f\n", "total: spawn to window shown (painted)", shown[0], shown[1],
                shown[0] - shown[1]);
    for (int m = 0; m < 2; ++m) {
        std::vector<double> v = Values(samples[m], nullptr, "painted");
        std::sort(v.begin(), v.end());
        std::printf("  %-44s %9.2f .. %.2f\n", m == 0 ? "console window shown, min .. max" : "bare window shown, min .. max",
                    v.front(), v.back());
    }
    double rss[2];
    for (int m = 0; m < 2; ++m) {
        std::vector<double> kb;
        for (const Sample& s : samples[m])
            kb.push_back(s.value(QStringLiteral("maxrss_kb")));
        rss[m] = Median(kb) / 1024.0;
    }
    std::printf("  %-44s %9.1f %9.1f %+9.1f\n", "peak RSS at window shown (MiB, median)", rss[0], rss[1],
                rss[0] - rss[1]);
    std::printf("ratio console/bare, time to window shown: %.2f (to first expose: %.2f); goal: within 1.5\n",
                shown[0] / shown[1], exposed[0] / exposed[1]);
    std::printf("ratio console/bare, peak RSS: %.2f\n", rss[0] / rss[1]);
    return 0;
}
