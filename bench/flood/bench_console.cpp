// The real console under a flood: the simulator floods dose-count frames of
// nodes 1 to 8 while the console's run is ticked for node 1 (table, trend and
// journal on), and the benchmark measures what an operator would notice.
//
//   bench_console [--seconds S] [--patience S] [--platform NAME] [--rates R1,R2,...]
//   (default 30 s at 100000,300000, offscreen)
//
// Each rate runs in a child process of its own, so that its memory is its
// own, against a simulator of its own started with --flood RATE --flood-for S.
// A thread of the child, not the console's, watches:
//   catch-up   from the simulator's "flood over" line until the journal holds
//              every frame of node 1 the simulator had sent by then
//   missing    node 1's frames the simulator sent in all, less the lines of
//              the journal, once the simulator has quit
//   RSS        sampled every second; the growth from second 10 on, per
//              minute, and the spread from second 10 on
//   click      a mouse press and release posted to the tab bar, as input
//              arrives, every second: the time until the tab changes
#include "BenchSupport.h"
#include "SetwiseDosegate.h"

#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QLabel>
#include <QMouseEvent>
#include <QMutex>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <iterator>
#include <vector>

namespace {

// Node 1's count in "... by node 1=N 2=N ...".
qint64 NodeOne(const QString& line)
{
    static const QRegularExpression one(QStringLiteral("\\b1=(\\d+)"));
    return one.match(line).captured(1).toLongLong();
}

// Lines of the journal so far, read as they are appended.
class JournalCounter
{
public:
    explicit JournalCounter(const QString& folder)
        : m_sFolder(folder)
    {
    }
    qint64 Lines()
    {
        if (!m_file.isOpen()) {
            QDirIterator it(m_sFolder, { QStringLiteral("*.csv") }, QDir::Files, QDirIterator::Subdirectories);
            if (!it.hasNext())
                return 0;
            m_file.setFileName(it.next());
            if (!m_file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
                return 0;
        }
        m_nLines += m_file.readAll().count('\n');
        return std::max<qint64>(0, m_nLines - 1); // the header
    }

private:
    QString m_sFolder;
    QFile m_file;
    qint64 m_nLines = 0;
};

// Everything the child measures, from a thread of its own.
class Watcher : public QThread
{
public:
    Watcher(const QStringList& arguments, const QString& journals)
        : m_sRate(Bench::TextArgument(arguments, "--child"))
        , m_nSeconds(Bench::IntArgument(arguments, "--seconds", 30))
        , m_nPatienceMs(1000 * Bench::IntArgument(arguments, "--patience", 120))
        , m_journal(journals)
    {
    }

    std::atomic<int> port { 0 };
    std::atomic<bool> connected { false };
    std::atomic<bool> failed { false };
    QTabBar* tabBar = nullptr;
    // The readings page's tab and another's, in the bar and on the screen.
    QPoint centres[2];
    QPoint globalCentres[2];
    QMap<QString, double> figures; // once finished

    // On the GUI thread, when the tab bar's current tab changes.
    void TabChanged()
    {
        const qint64 posted = m_nClickPosted.exchange(-1);
        QMutexLocker locker(&m_clickMutex);
        if (posted >= 0)
            m_clickMs.push_back(double(m_clock.nsecsElapsed() - posted) / 1e6);
    }

protected:
    void run() override
    {
        m_clock.start();
        QProcess sim;
        port = Bench::StartSimulator(sim, { "--quiet", "--nodes", "1-8", "--seed", "1", "--flood", m_sRate,
                                            "--flood-for", QString::number(m_nSeconds) });
        failed = port == 0;
        while (!connected && !failed)
            msleep(10);
        if (failed)
            return;
        Measure(sim);
        sim.terminate();
        sim.waitForFinished(10000);
        const QRegularExpression byNode(QStringLiteral("dose frames by node: ([^\n]*)"));
        const qint64 node1 = NodeOne(byNode.match(QString::fromUtf8(sim.readAllStandardOutput())).captured(1));
        QElapsedTimer settle;
        settle.start();
        while (m_journal.Lines() < node1 && settle.elapsed() < 5000)
            msleep(10);
        Report(node1);
    }

private:
    void Measure(QProcess& sim)
    {
        const double cpuStart = Bench::CpuMs();
        const qint64 start = m_clock.elapsed();
        qint64 nextSample = start;
        qint64 nextClick = start + 1000;
        int clickTurn = 0;
        qint64 overAt = -1;
        QString out;
        for (;;) {
            sim.waitForReadyRead(10);
            out += QString::fromUtf8(sim.readAllStandardOutput());
            const qint64 now = m_clock.elapsed();
            const qint64 lines = m_journal.Lines();
            if (overAt < 0 && out.contains(QLatin1String("flood over"))) {
                overAt = now;
                figures["sent_at_end"] = double(NodeOne(out.mid(out.indexOf(QLatin1String("flood over")))));
                figures["journal_at_end"] = double(lines);
                figures["flood_s"] = double(now - start) / 1e3;
                figures["cpu_pct"] = (Bench::CpuMs() - cpuStart) / double(now - start) * 100.0;
            }
            if (overAt >= 0 && lines >= figures["sent_at_end"]) {
                figures["catchup_s"] = double(now - overAt) / 1e3;
                return;
            }
            if (overAt >= 0 && now - overAt > m_nPatienceMs) {
                figures["catchup_s"] = -1.0;
                figures["caught_up_to"] = double(lines);
                return;
            }
            if (now >= nextSample) {
                m_rss.push_back({ double(now - start) / 1e3, Bench::RssMib() });
                nextSample += 1000;
            }
            if (now >= nextClick && overAt < 0) {
                const int target = clickTurn++ % 2 == 0 ? 1 : 0;
                m_nClickPosted = m_clock.nsecsElapsed();
                for (QEvent::Type type : { QEvent::MouseButtonPress, QEvent::MouseButtonRelease }) {
                    const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton;
                    QCoreApplication::postEvent(tabBar, new QMouseEvent(type, QPointF(centres[target]),
                                                                         QPointF(globalCentres[target]),
                                                                         Qt::LeftButton, held, Qt::NoModifier));
                }
                nextClick += 1000;
            }
        }
    }

    void Report(qint64 node1)
    {
        figures["sent"] = double(node1);
        figures["journal"] = double(m_journal.Lines());
        figures["missing"] = figures["sent"] - figures["journal"];
        // From second 10 on: the least-squares slope per minute, the spread.
        std::vector<std::pair<double, double>> late;
        std::copy_if(m_rss.begin(), m_rss.end(), std::back_inserter(late), [](const auto& s) { return s.first >= 10.0; });
        if (late.size() >= 2) {
            double sx = 0, sy = 0, sxx = 0, sxy = 0, low = late.front().second, high = low;
            for (const auto& [x, y] : late) {
                sx += x;
                sy += y;
                sxx += x * x;
                sxy += x * y;
                low = std::min(low, y);
                high = std::max(high, y);
            }
            const double n = double(late.size());
            figures["rss_growth_mb_min"] = 60.0 * (n * sxy - sx * sy) / (n * sxx - sx * sx);
            figures["rss_spread_mb"] = high - low;
            figures["rss_10s_mb"] = late.front().second;
            figures["rss_end_mb"] = late.back().second;
        }
        QMutexLocker locker(&m_clickMutex);
        figures["clicks"] = double(m_clickMs.size());
        figures["click_median_ms"] = Bench::Median(m_clickMs);
        figures["click_max_ms"] = m_clickMs.empty() ? 0.0 : *std::max_element(m_clickMs.begin(), m_clickMs.end());
    }

    const QString m_sRate;
    const int m_nSeconds;
    const int m_nPatienceMs;
    JournalCounter m_journal;
    QElapsedTimer m_clock;
    std::atomic<qint64> m_nClickPosted { -1 };
    QMutex m_clickMutex;
    std::vector<double> m_clickMs;
    std::vector<std::pair<double, double>> m_rss;
};

int RunRate(int argc, char* argv[], const QStringList& arguments)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit()); // journals go there, not to the user's
    QApplication application(argc, argv);
    SetwiseDosegate window;
    window.show();
    Watcher watcher(arguments, home.path());
    watcher.start();
    Bench::WaitFor([&] { return watcher.port || watcher.failed; }, 10000);
    if (!watcher.port) {
        watcher.wait();
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    const int readingsTab = tabs->indexOf(window.findChild<QWidget*>(QStringLiteral("tab_for_potentiometer")));
    watcher.tabBar = tabs->tabBar();
    tabs->setCurrentIndex(readingsTab);
    for (int i = 0; i < 2; ++i) {
        const int tab = i == 0 ? readingsTab : (readingsTab == 0 ? 1 : 0);
        watcher.centres[i] = watcher.tabBar->tabRect(tab).center();
        watcher.globalCentres[i] = watcher.tabBar->mapToGlobal(watcher.centres[i]);
    }
    QObject::connect(tabs, &QTabWidget::currentChanged, [&watcher] { watcher.TabChanged(); });

    window.FillConnectPage(QStringLiteral("127.0.0.1"), QString::number(watcher.port));
    window.findChild<QCheckBox*>(QStringLiteral("calibration_check_box"))->click();
    window.findChild<QPushButton*>(QStringLiteral("m_pPushButton_connect"))->click();
    auto* state = window.findChild<QLabel*>(QStringLiteral("m_pLabel_state"));
    Bench::WaitFor([&] { return state->text() == QLatin1String("connected!"); }, 5000);
    watcher.connected = true;
    QObject::connect(&watcher, &QThread::finished, &application, &QCoreApplication::quit);
    const int status = QApplication::exec();
    watcher.wait();
    std::printf("%s\n", qPrintable(Bench::FiguresLine("console", watcher.figures)));
    return status;
}

int RunParent(const QStringList& arguments)
{
    const int seconds = std::max(11, Bench::IntArgument(arguments, "--seconds", 30));
    const int patience = std::max(1, Bench::IntArgument(arguments, "--patience", 120));
    const QString platform = Bench::TextArgument(arguments, "--platform", "offscreen");
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);
    std::printf("The console under a flood of nodes 1-8 for %d s, run ticked for node 1, QT_QPA_PLATFORM=%s\n",
                seconds, qPrintable(platform));
    std::printf("%8s %8s %10s %10s %10s %9s %8s %9s %9s %10s %9s %9s %6s\n", "rate/s", "flood s", "n1 sent", "journal",
                "catch-up s", "missing", "RSS@10s", "RSS end", "spread", "MB/min", "click med", "click max", "cpu %");
    bool ok = true;
    for (const QString& rate : Bench::TextArgument(arguments, "--rates", "100000,300000").split(',')) {
        QString error;
        QMap<QString, double> f = Bench::RunChild(
            QCoreApplication::applicationFilePath(),
            { "--child", rate, "--seconds", QString::number(seconds), "--patience", QString::number(patience) },
            "console", &error, environment, (seconds + patience + 60) * 1000);
        if (f.isEmpty()) {
            ok = false;
            std::printf("%8s failed: %s\n", qPrintable(rate), qPrintable(error));
            continue;
        }
        const QString catchUp = f["catchup_s"] >= 0 ? QString::number(f["catchup_s"], 'f', 2)
                                                    : QStringLiteral(">%1(%2)").arg(patience).arg(qint64(f["caught_up_to"]));
        std::printf("%8s %8.1f %10.0f %10.0f %10s %9.0f %8.1f %9.1f %9.1f %10.2f %9.1f %9.1f %6.0f\n", qPrintable(rate),
                    f["flood_s"], f["sent_at_end"], f["journal_at_end"], qPrintable(catchUp), f["missing"],
                    f["rss_10s_mb"], f["rss_end_mb"], f["rss_spread_mb"], f["rss_growth_mb_min"], f["click_median_ms"],
                    f["click_max_ms"], f["cpu_pct"]);
        std::fflush(stdout);
    }
    std::printf("n1 sent / journal: node 1's frames sent by the flood's end and journalled by then.\n"
                "goals: catch-up under 1 s and under 5 MB/min at 100000/s; at 300000/s a spread under 20 MB,\n"
                "clicks answered within 100 ms; nothing missing\n");
    return ok ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    const QStringList arguments = Bench::Arguments(argc, argv);
    if (arguments.contains(QStringLiteral("--child")))
        return RunRate(argc, argv, arguments);
    QCoreApplication application(argc, argv);
    return RunParent(arguments);
}
