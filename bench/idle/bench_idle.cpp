// Idle cost of a connected console: linked to a controller simulator that
// sends nothing, how often the decoder thread wakes and how much CPU the
// process takes. Each phase is a child process, so its CPU time is its own:
//   link    a TcpSocket with a counting console, no GUI; wake-ups are the
//           decoder thread's passes
//   window  the console window (offscreen by default), connected as an
//           operator does it; its decoder thread is out of reach, so what
//           is counted is the times the kernel scheduled the thread named
//           PDoseProcThread (QThread names threads after their class)
// Each child measures S seconds from shortly after "connected!": its CPU
// time, and per thread the run time and scheduling count from /proc.
//
//   bench_idle [--seconds S] [--platform NAME]
#include "BenchSupport.h"
#include "BenchConsole.h"
#include "PDoseProcThread.h"
#include "SetwiseDosegate.h"
#include "TcpSocket.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>

#include <unistd.h>

#include <cstdio>

namespace {

const QString kConnected = QStringLiteral("connected!");
// By then the decoder thread has started and gone to sleep, and the window
// has repainted the state line.
constexpr int kSettleMs = 200;

// Per thread: name, ms on the CPU, times scheduled.
QMap<QString, std::tuple<QString, double, qint64>> ReadThreads()
{
    QMap<QString, std::tuple<QString, double, qint64>> threads;
    const QDir tasks(QStringLiteral("/proc/self/task"));
    for (const QString& tid : tasks.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile comm(tasks.filePath(tid + "/comm"));
        QFile schedstat(tasks.filePath(tid + "/schedstat")); // ns on the CPU, ns waiting, times scheduled
        comm.open(QIODevice::ReadOnly);
        schedstat.open(QIODevice::ReadOnly);
        const QList<QByteArray> fields = schedstat.readAll().simplified().split(' ');
        threads[tid] = { QString::fromLocal8Bit(comm.readAll()).trimmed(), fields.value(0).toDouble() / 1e6,
                         fields.value(2).toLongLong() };
    }
    return threads;
}

// Child: waits for the link, idles S seconds and prints the figures and a
// line per thread. The process figures are read last at the start and
// first at the end, so reading /proc does not count as idling. The link is
// steady when its state did not change meanwhile (the window's changes are
// not counted).
int Measure(int seconds, const std::function<QString()>& state, const std::function<qint64()>& passes,
            const std::function<qint64()>& changes)
{
    if (!Bench::WaitFor([&] { return state() == kConnected; }, 5000)) {
        std::fprintf(stderr, "not connected after 5 s (state \"%s\")\n", qPrintable(state()));
        return 1;
    }
    Bench::RunEventLoop(kSettleMs);
    const auto before = ReadThreads();
    const qint64 passesBefore = passes();
    const qint64 changesBefore = changes();
    QElapsedTimer clock;
    clock.start();
    const double cpuBefore = Bench::CpuMs();
    Bench::RunEventLoop(seconds * 1000);
    const double cpu = Bench::CpuMs() - cpuBefore;
    const double wall = double(clock.nsecsElapsed()) / 1e6;
    const double passesDuring = passes() < 0 ? -1.0 : double(passes() - passesBefore);
    const auto after = ReadThreads();
    double decoderScheduled = -1;
    QString lines;
    for (auto it = after.cbegin(); it != after.cend(); ++it) {
        const auto& [name, runMs, scheduled] = it.value();
        const qint64 times = scheduled - std::get<2>(before.value(it.key()));
        if (name == QLatin1String("PDoseProcThread"))
            decoderScheduled = double(times);
        lines += QStringLiteral("    thread %1 cpu %2 ms, scheduled %3 times\n")
                     .arg(name, -18).arg(runMs - std::get<1>(before.value(it.key())), 8, 'f', 3).arg(times, 5);
    }
    const QMap<QString, double> figures { { "wall_ms", wall }, { "cpu_ms", cpu }, { "passes", passesDuring },
                                          { "decoder_scheduled", decoderScheduled },
                                          { "steady", state() == kConnected && changes() == changesBefore } };
    std::printf("%s\n%s", qPrintable(Bench::FiguresLine("idle", figures)), qPrintable(lines));
    return 0;
}

int RunPhase(int argc, char* argv[], const QString& phase, int seconds, int port)
{
    if (phase == QLatin1String("link")) {
        QCoreApplication application(argc, argv);
        BenchConsole console;
        console.port = port;
        TcpSocket socket;
        socket.SetWindow(&console);
        socket.ConnectServer();
        return Measure(seconds, [&] { return console.state; },
                       [&] { return qint64(socket.DecoderThread()->PassCount()); }, [&] { return console.stateChanges; });
    }
    QApplication application(argc, argv);
    SetwiseDosegate window;
    window.show();
    window.FillConnectPage(QStringLiteral("127.0.0.1"), QString::number(port));
    window.findChild<QPushButton*>(QStringLiteral("m_pPushButton_connect"))->click();
    auto* state = window.findChild<QLabel*>(QStringLiteral("m_pLabel_state"));
    return Measure(seconds, [&] { return state->text(); }, [] { return qint64(-1); }, [] { return qint64(0); });
}

// utime + stime of another process, in ms (clock-tick resolution); the
// fields after the command name, which may hold blanks.
double ProcessCpuMs(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    stat.open(QIODevice::ReadOnly);
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return 1e3 * double(fields.value(11).toLongLong() + fields.value(12).toLongLong()) / double(sysconf(_SC_CLK_TCK));
}

} // namespace

int main(int argc, char* argv[])
{
    const QStringList arguments = Bench::Arguments(argc, argv);
    const int seconds = Bench::IntArgument(arguments, "--seconds", 10);
    if (arguments.contains(QStringLiteral("--phase"))) {
        return RunPhase(argc, argv, Bench::TextArgument(arguments, "--phase"), seconds,
                        Bench::IntArgument(arguments, "--port", 0));
    }

    QCoreApplication application(argc, argv);
    QProcess simulator;
    const quint16 port = Bench::StartSimulator(simulator, { "--quiet" });
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), Bench::TextArgument(arguments, "--platform", "offscreen"));
    std::printf("Idle for %d s, connected to a silent controller-sim on port %d\n", seconds, port);
    QString table = QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8\n")
                        .arg("phase", -8).arg("wall s", 8).arg("cpu ms", 10).arg("% of a core", 12)
                        .arg("decoder passes", 16).arg("decoder sched", 14).arg("link ok", 10).arg("sim cpu ms", 10);
    bool ok = port != 0;
    for (const char* phase : { "link", "window" }) {
        const double simulatorBefore = ProcessCpuMs(simulator.processId());
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
                    { "--phase", phase, "--port", QString::number(port), "--seconds", QString::number(seconds) });
        child.waitForFinished(seconds * 1000 + 30000);
        const QString out = QString::fromLocal8Bit(child.readAllStandardOutput());
        const QMap<QString, double> f = Bench::ReadFigures(out, "idle");
        std::printf("  %s:\n%s", phase, qPrintable(out.mid(out.indexOf(QLatin1String("    thread ")))));
        if (f.isEmpty()) {
            std::printf("  failed: %s\n", qPrintable(QString::fromLocal8Bit(child.readAllStandardError()).trimmed()));
            ok = false;
            continue;
        }
        table += QStringLiteral("%1 %2 %3 %4 %5 %6 %7 %8\n")
                     .arg(phase, -8)
                     .arg(f["wall_ms"] / 1e3, 8, 'f', 2)
                     .arg(f["cpu_ms"], 10, 'f', 2)
                     .arg(100.0 * f["cpu_ms"] / f["wall_ms"], 12, 'f', 4)
                     .arg(f["passes"] < 0 ? QStringLiteral("n/a") : QString::number(f["passes"]), 16)
                     .arg(f["decoder_scheduled"], 14)
                     .arg(f["steady"] > 0 ? "yes" : "NO", 10)
                     .arg(ProcessCpuMs(simulator.processId()) - simulatorBefore, 10, 'f', 0);
    }
    simulator.terminate();
    simulator.waitForFinished();
    std::printf("%sgoal: below 1 %% of a core, no decoder wake-ups\n", qPrintable(table));
    return ok ? 0 : 1;
}
