// Idle cost of a connected console: linked to a controller simulator that
// sends nothing, how often the decoder thread wakes and how much CPU the
// process takes.
//
//   bench_idle [--seconds S] [--platform NAME]
//
// The parent starts `controller-sim --port 0 --quiet` and runs itself as a
// child once per phase, so that each phase's CPU time is its own:
//   link    a TcpSocket with a counting console, no GUI; wake-ups are the
//           decoder thread's PassCount()
//   window  the console window (QT_QPA_PLATFORM, offscreen by default),
//           connected as an operator does it; its decoder thread is not
//           reachable from outside, so what is counted is the times the
//           kernel scheduled the thread named PDoseProcThread (shown for
//           both phases: zero when it never wakes, about three per pass)
// Each child measures S seconds from shortly after the link reports
// "connected!": process CPU time from getrusage (all threads), and per
// thread the run time and scheduling count from /proc/self/task (these
// include reading /proc at the end).
#include "LinkConsole.h"
#include "PDoseProcThread.h"
#include "SetwiseDosegate.h"
#include "TcpSocket.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

const QString kConnected = QStringLiteral("connected!");
const QString kDecoderThreadName = QStringLiteral("PDoseProcThread"); // QThread names threads by class
constexpr int kConnectTimeoutMs = 5000;
// Measuring starts this long after "connected!": the decoder thread has
// started and gone to sleep, and the window has repainted the state line.
constexpr int kSettleMs = 200;

struct Options
{
    QString child; // empty in the parent
    int seconds = 10;
    int port = 0;
    QString platform = QStringLiteral("offscreen");
};

Options ParseOptions(const QStringList& args)
{
    Options options;
    for (int i = 1; i + 1 < args.size(); i += 2) {
        if (args.at(i) == QLatin1String("--child"))
            options.child = args.at(i + 1);
        else if (args.at(i) == QLatin1String("--seconds"))
            options.seconds = std::max(1, args.at(i + 1).toInt());
        else if (args.at(i) == QLatin1String("--port"))
            options.port = args.at(i + 1).toInt();
        else if (args.at(i) == QLatin1String("--platform"))
            options.platform = args.at(i + 1);
    }
    return options;
}

// ---- child side ----

struct ThreadStat
{
    QString name;
    qint64 runNs = 0;
    qint64 scheduled = 0;
};

struct Snapshot
{
    qint64 wallNs = 0;
    qint64 cpuUs = 0;
    qint64 userUs = 0;
    qint64 sysUs = 0;
    QMap<QString, ThreadStat> threads; // by tid
};

void ReadProcess(const QElapsedTimer& clock, Snapshot& s)
{
    s.wallNs = clock.nsecsElapsed();
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    s.userUs = qint64(usage.ru_utime.tv_sec) * 1000000 + usage.ru_utime.tv_usec;
    s.sysUs = qint64(usage.ru_stime.tv_sec) * 1000000 + usage.ru_stime.tv_usec;
    s.cpuUs = s.userUs + s.sysUs;
}

void ReadThreads(Snapshot& s)
{
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        ThreadStat t;
        QFile comm(tasks.filePath(tid + QStringLiteral("/comm")));
        if (comm.open(QIODevice::ReadOnly))
            t.name = QString::fromLocal8Bit(comm.readAll()).trimmed();
        // schedstat: ns on the CPU, ns waiting to run, times scheduled in
        QFile schedstat(tasks.filePath(tid + QStringLiteral("/schedstat")));
        if (schedstat.open(QIODevice::ReadOnly)) {
            const QList<QByteArray> fields = schedstat.readAll().simplified().split(' ');
            if (fields.size() >= 3) {
                t.runNs = fields.at(0).toLongLong();
                t.scheduled = fields.at(2).toLongLong();
            }
        }
        s.threads.insert(tid, t);
    }
}

// The process figures are read last at the start and first at the end, so
// that reading /proc is not counted as idle work.
Snapshot StartSnapshot(const QElapsedTimer& clock)
{
    Snapshot s;
    ReadThreads(s);
    ReadProcess(clock, s);
    return s;
}

Snapshot EndSnapshot(const QElapsedTimer& clock)
{
    Snapshot s;
    ReadProcess(clock, s);
    ReadThreads(s);
    return s;
}

// Prints the phase's figures: one "result" line for the parent, then one
// line per thread.
void Report(const Snapshot& a, const Snapshot& b, qint64 passes, qint64 stateChanges, bool stillConnected)
{
    const double wallMs = (b.wallNs - a.wallNs) / 1e6;
    const double cpuMs = (b.cpuUs - a.cpuUs) / 1e3;
    qint64 decoderWakeups = -1;
    for (auto it = b.threads.cbegin(); it != b.threads.cend(); ++it)
        if (it->name == kDecoderThreadName)
            decoderWakeups = it->scheduled - a.threads.value(it.key()).scheduled;
    std::printf("result wall_ms=%.1f cpu_ms=%.2f user_ms=%.2f sys_ms=%.2f core_pct=%.4f passes=%lld "
                "decoder_scheduled=%lld state_changes=%lld connected=%d\n",
                wallMs, cpuMs, (b.userUs - a.userUs) / 1e3, (b.sysUs - a.sysUs) / 1e3, 100.0 * cpuMs / wallMs,
                static_cast<long long>(passes), static_cast<long long>(decoderWakeups),
                static_cast<long long>(stateChanges), stillConnected ? 1 : 0);
    for (auto it = b.threads.cbegin(); it != b.threads.cend(); ++it) {
        const ThreadStat before = a.threads.value(it.key());
        std::printf("    thread %-18s cpu %8.3f ms, scheduled %5lld times\n", qPrintable(it->name),
                    (it->runNs - before.runNs) / 1e6, static_cast<long long>(it->scheduled - before.scheduled));
    }
    std::fflush(stdout);
}

class CountingConsole : public LinkConsole
{
public:
    QString GetServerIp() const override { return QStringLiteral("127.0.0.1"); }
    int GetServerPort() const override { return port; }
    void SetStateText(const QString& text) override
    {
        ++stateChanges;
        state = text;
        if (text == kConnected && onConnected)
            onConnected();
    }
    void ShowDoseLine(int, int, int) override { ++doseLines; }
    int GetCalibrationId() const override { return 1; }
    void SetLastCoefficients(double, double, double) override {}

    int port = 0;
    QString state;
    qint64 stateChanges = 0;
    qint64 doseLines = 0;
    std::function<void()> onConnected;
};

int RunLinkChild(int argc, char* argv[], const Options& options)
{
    QCoreApplication application(argc, argv);
    QElapsedTimer clock;
    clock.start();
    CountingConsole console;
    console.port = options.port;
    TcpSocket socket;
    socket.SetWindow(&console);

    Snapshot start;
    qint64 passesAtStart = 0;
    qint64 changesAtStart = 0;
    bool connected = false;
    console.onConnected = [&] {
        if (connected)
            return;
        connected = true;
        QTimer::singleShot(kSettleMs, [&] {
            start = StartSnapshot(clock);
            passesAtStart = qint64(socket.DecoderThread()->PassCount());
            changesAtStart = console.stateChanges;
            QTimer::singleShot(options.seconds * 1000, Qt::PreciseTimer, [&] {
                const Snapshot end = EndSnapshot(clock);
                Report(start, end, qint64(socket.DecoderThread()->PassCount()) - passesAtStart,
                       console.stateChanges - changesAtStart, console.state == kConnected);
                std::printf("    decoder passes since the socket was made: %llu; dose lines: %lld\n",
                            static_cast<unsigned long long>(socket.DecoderThread()->PassCount()),
                            static_cast<long long>(console.doseLines));
                QCoreApplication::quit();
            });
        });
    };
    socket.ConnectServer();
    QTimer::singleShot(kConnectTimeoutMs, [&] {
        if (!connected) {
            std::fprintf(stderr, "not connected after %d ms (state \"%s\")\n", kConnectTimeoutMs,
                         qPrintable(console.state));
            QCoreApplication::exit(1);
        }
    });
    return QCoreApplication::exec();
}

int RunWindowChild(int argc, char* argv[], const Options& options)
{
    QApplication application(argc, argv);
    QElapsedTimer clock;
    clock.start();
    SetwiseDosegate window;
    window.show();
    window.findChild<QLineEdit*>(QStringLiteral("m_pLineEdit_ip"))->setText(QStringLiteral("127.0.0.1"));
    window.findChild<QLineEdit*>(QStringLiteral("m_pLineEdit_port"))->setText(QString::number(options.port));
    auto* state = window.findChild<QLabel*>(QStringLiteral("m_pLabel_state"));
    window.findChild<QPushButton*>(QStringLiteral("m_pPushButton_connect"))->click();

    Snapshot start;
    QElapsedTimer waited;
    waited.start();
    QTimer poll;
    // The poll stops before the measurement, so it adds no wake-ups of its own.
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (state->text() != kConnected) {
            if (waited.elapsed() > kConnectTimeoutMs) {
                std::fprintf(stderr, "not connected after %d ms (state \"%s\")\n", kConnectTimeoutMs,
                             qPrintable(state->text()));
                QCoreApplication::exit(1);
            }
            return;
        }
        poll.stop();
        QTimer::singleShot(kSettleMs, [&] {
            start = StartSnapshot(clock);
            QTimer::singleShot(options.seconds * 1000, Qt::PreciseTimer, [&] {
                Report(start, EndSnapshot(clock), -1, -1, state->text() == kConnected);
                QCoreApplication::quit();
            });
        });
    });
    poll.start(10);
    return QApplication::exec();
}

// ---- parent side ----

// utime + stime of another process, in ms (clock-tick resolution).
double ProcessCpuMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return 0.0;
    const QByteArray text = stat.readAll();
    // Fields after the parenthesised command name, which may hold spaces.
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0.0;
    const double ticks = double(fields.at(11).toLongLong() + fields.at(12).toLongLong());
    return 1000.0 * ticks / double(sysconf(_SC_CLK_TCK));
}

QMap<QString, QString> ParseResult(const QString& output)
{
    QMap<QString, QString> result;
    for (const QString& line : output.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1String("result ")))
            continue;
        for (const QString& field : line.mid(7).split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
            const int eq = field.indexOf(QLatin1Char('='));
            if (eq > 0)
                result.insert(field.left(eq), field.mid(eq + 1));
        }
    }
    return result;
}

struct PhaseResult
{
    bool ok = false;
    QMap<QString, QString> figures;
    double simCpuMs = 0.0;
};

PhaseResult RunPhase(const QString& phase, const Options& options, qint64 simPid)
{
    PhaseResult r;
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (phase == QLatin1String("window"))
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), options.platform);
    child.setProcessEnvironment(environment);
    const double simBefore = ProcessCpuMs(simPid);
    child.start(QCoreApplication::applicationFilePath(),
                { QStringLiteral("--child"), phase, QStringLiteral("--port"), QString::number(options.port),
                  QStringLiteral("--seconds"), QString::number(options.seconds) });
    const bool finished = child.waitForFinished(options.seconds * 1000 + 30000);
    r.simCpuMs = ProcessCpuMs(simPid) - simBefore;
    if (!finished) {
        child.kill();
        child.waitForFinished(5000);
    }
    const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
    const QString err = QString::fromLocal8Bit(child.readAllStandardError()).trimmed();
    for (const QString& line : out.split(QLatin1Char('\n')))
        if (line.startsWith(QLatin1String("    ")))
            std::printf("%s\n", qPrintable(line));
    r.figures = ParseResult(out);
    r.ok = finished && child.exitCode() == 0 && r.figures.contains(QStringLiteral("core_pct"));
    if (!r.ok)
        std::printf("  phase %s failed (exit code %d): %s\n", qPrintable(phase), child.exitCode(), qPrintable(err));
    return r;
}

int RunParent(const Options& given)
{
    Options options = given;
    QProcess sim;
    sim.setProcessChannelMode(QProcess::MergedChannels);
    sim.start(QStringLiteral(CONTROLLER_SIM), { QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--quiet") });
    if (!sim.waitForStarted(5000)) {
        std::fprintf(stderr, "cannot start %s: %s\n", CONTROLLER_SIM, qPrintable(sim.errorString()));
        return 1;
    }
    const QRegularExpression listening(QStringLiteral("listening on [0-9.]+:(\\d+)"));
    QString simOutput;
    QElapsedTimer waited;
    waited.start();
    while (!listening.match(simOutput).hasMatch() && waited.elapsed() < 5000 && sim.state() == QProcess::Running) {
        sim.waitForReadyRead(100);
        simOutput += QString::fromLocal8Bit(sim.readAll());
    }
    const QRegularExpressionMatch match = listening.match(simOutput);
    if (!match.hasMatch()) {
        std::fprintf(stderr, "controller-sim did not report its port: %s\n", qPrintable(simOutput));
        sim.kill();
        sim.waitForFinished(5000);
        return 1;
    }
    options.port = match.captured(1).toInt();

    std::printf("Idle for %d s, connected to a silent controller-sim on port %d\n", options.seconds, options.port);
    std::printf("  link: TcpSocket with a counting console, no GUI\n");
    std::fflush(stdout);
    const PhaseResult link = RunPhase(QStringLiteral("link"), options, sim.processId());
    std::printf("  window: the console window, QT_QPA_PLATFORM=%s\n", qPrintable(options.platform));
    std::fflush(stdout);
    const PhaseResult window = RunPhase(QStringLiteral("window"), options, sim.processId());

    sim.terminate();
    if (!sim.waitForFinished(5000)) {
        sim.kill();
        sim.waitForFinished(5000);
    }

    std::printf("%-8s %8s %10s %12s %16s %14s %10s %10s\n", "phase", "wall s", "cpu ms", "% of a core", "decoder passes",
                "decoder sched", "link ok", "sim cpu ms");
    const PhaseResult* results[2] = { &link, &window };
    const char* names[2] = { "link", "window" };
    for (int i = 0; i < 2; ++i) {
        const PhaseResult& r = *results[i];
        if (!r.ok) {
            std::printf("%-8s %12s\n", names[i], "failed");
            continue;
        }
        const QString passes = r.figures.value(QStringLiteral("passes"));
        std::printf("%-8s %8.2f %10.2f %12.4f %16s %14s %10s %10.0f\n", names[i],
                    r.figures.value(QStringLiteral("wall_ms")).toDouble() / 1000.0,
                    r.figures.value(QStringLiteral("cpu_ms")).toDouble(),
                    r.figures.value(QStringLiteral("core_pct")).toDouble(),
                    qPrintable(passes == QLatin1String("-1") ? QStringLiteral("n/a") : passes),
                    qPrintable(r.figures.value(QStringLiteral("decoder_scheduled"))),
                    r.figures.value(QStringLiteral("connected")) == QLatin1String("1")
                            && r.figures.value(QStringLiteral("state_changes")).toInt() <= 0
                        ? "yes"
                        : "NO",
                    r.simCpuMs);
    }
    std::printf("goal: below 1 %% of a core, no decoder wake-ups\n");
    return link.ok && window.ok ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const Options options = ParseOptions(args);
    if (options.child == QLatin1String("link"))
        return RunLinkChild(argc, argv, options);
    if (options.child == QLatin1String("window"))
        return RunWindowChild(argc, argv, options);
    QCoreApplication application(argc, argv);
    return RunParent(options);
}
