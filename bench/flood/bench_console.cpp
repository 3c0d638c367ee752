// The real console under a flood: the simulator floods dose-count frames of
// nodes 1 to 8 while the console's run is ticked for node 1 (table, trend and
// journal on), and the benchmark measures what an operator would notice.
//
//   bench_console [--seconds S] [--patience S] [--platform NAME] [RATE...]
//   (default 30 s at 100000 300000, offscreen)
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
#include "SetwiseDosegate.h"

#include <QApplication>
#include <QCheckBox>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMutex>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <vector>

namespace {

struct Options {
    QString child; // the rate, in a child
    int seconds = 30;
    int patience = 120;
    QString platform = QStringLiteral("offscreen");
    QStringList rates;
};

Options ParseOptions(const QStringList& args)
{
    Options options;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--child"))
            options.child = args.value(++i);
        else if (args[i] == QLatin1String("--seconds"))
            options.seconds = std::max(11, args.value(++i).toInt());
        else if (args[i] == QLatin1String("--patience"))
            options.patience = std::max(1, args.value(++i).toInt());
        else if (args[i] == QLatin1String("--platform"))
            options.platform = args.value(++i);
        else
            options.rates << args[i];
    }
    if (options.rates.isEmpty())
        options.rates = QStringList { "100000", "300000" };
    return options;
}

double RssMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0.0;
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.value(1).toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

double CpuSeconds()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double Median(std::vector<double> values)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

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
        const QByteArray more = m_file.readAll();
        m_nLines += more.count('\n');
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
    Watcher(const Options& options, const QString& journals)
        : m_options(options)
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

    // On the GUI thread, when the tab bar's current tab changes.
    void TabChanged()
    {
        const qint64 posted = m_nClickPosted.exchange(-1);
        QMutexLocker locker(&m_clickMutex);
        if (posted >= 0)
            m_clickMs.push_back((m_clock.nsecsElapsed() - posted) / 1e6);
    }

protected:
    void run() override
    {
        m_clock.start();
        QProcess sim;
        sim.setProcessChannelMode(QProcess::SeparateChannels);
        sim.start(QStringLiteral(CONTROLLER_SIM),
                  { "--port", "0", "--quiet", "--nodes", "1-8", "--seed", "1", "--flood", m_options.child,
                    "--flood-for", QString::number(m_options.seconds) });
        QString out;
        const QRegularExpression listening(QStringLiteral("listening on [0-9.]+:(\\d+)"));
        while (!listening.match(out).hasMatch() && sim.waitForReadyRead(5000))
            out += QString::fromUtf8(sim.readAllStandardOutput());
        port = listening.match(out).captured(1).toInt();
        if (port == 0) {
            failed = true;
            return;
        }
        while (!connected && !failed)
            msleep(10);
        Measure(sim);
        sim.terminate();
        sim.waitForFinished(10000);
        out = QString::fromUtf8(sim.readAllStandardOutput());
        const QRegularExpression byNode(QStringLiteral("dose frames by node: ([^\n]*)"));
        const qint64 node1 = NodeOne(byNode.match(out).captured(1));
        QElapsedTimer settle;
        settle.start();
        while (m_journal.Lines() < node1 && settle.elapsed() < 5000)
            msleep(10);
        Report(node1);
    }

private:
    void Measure(QProcess& sim)
    {
        const double cpuStart = CpuSeconds();
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
                m_nOverSent = NodeOne(out.mid(out.indexOf(QLatin1String("flood over"))));
                m_nOverJournal = lines;
                m_fCpu = CpuSeconds() - cpuStart;
                m_fFloodSeconds = (now - start) / 1000.0;
            }
            if (overAt >= 0 && lines >= m_nOverSent) {
                m_fCatchUp = (now - overAt) / 1000.0;
                return;
            }
            if (overAt >= 0 && now - overAt > m_options.patience * 1000) {
                m_nCaughtUpTo = lines;
                return;
            }
            if (now >= nextSample) {
                m_rss.push_back({ (now - start) / 1000.0, RssMb() });
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
        const qint64 journal = m_journal.Lines();
        double rss10 = 0, rssEnd = 0, low = 1e9, high = 0, slope = 0;
        std::vector<std::pair<double, double>> late;
        for (const auto& sample : m_rss) {
            if (sample.first >= 10.0)
                late.push_back(sample);
        }
        if (late.size() >= 2) {
            // Least squares: MB per second, from second 10 on.
            double sx = 0, sy = 0, sxx = 0, sxy = 0;
            for (const auto& s : late) {
                sx += s.first;
                sy += s.second;
                sxx += s.first * s.first;
                sxy += s.first * s.second;
                low = std::min(low, s.second);
                high = std::max(high, s.second);
            }
            const double n = double(late.size());
            slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
            rss10 = late.front().second;
            rssEnd = late.back().second;
        }
        std::vector<double> clicks;
        {
            QMutexLocker locker(&m_clickMutex);
            clicks = m_clickMs;
        }
        std::printf("result rate=%s flood_s=%.1f node1_sent_at_end=%lld journal_at_end=%lld catchup_s=%s "
                    "node1_sent=%lld journal=%lld missing=%lld rss_10s_mb=%.1f rss_end_mb=%.1f "
                    "rss_spread_mb=%.1f rss_growth_mb_min=%.2f click_median_ms=%.1f click_max_ms=%.1f clicks=%zu "
                    "cpu_pct=%.0f\n",
                    qPrintable(m_options.child), m_fFloodSeconds, static_cast<long long>(m_nOverSent),
                    static_cast<long long>(m_nOverJournal),
                    m_fCatchUp >= 0 ? qPrintable(QString::number(m_fCatchUp, 'f', 2))
                                    : qPrintable(QStringLiteral(">%1(%2)").arg(m_options.patience).arg(m_nCaughtUpTo)),
                    static_cast<long long>(node1), static_cast<long long>(journal),
                    static_cast<long long>(node1 - journal), rss10, rssEnd, late.empty() ? 0.0 : high - low,
                    slope * 60.0, Median(clicks), clicks.empty() ? 0.0 : *std::max_element(clicks.begin(), clicks.end()),
                    clicks.size(), m_fFloodSeconds > 0 ? 100.0 * m_fCpu / m_fFloodSeconds : 0.0);
        std::fflush(stdout);
    }

    Options m_options;
    JournalCounter m_journal;
    QElapsedTimer m_clock;
    std::atomic<qint64> m_nClickPosted { -1 };
    QMutex m_clickMutex;
    std::vector<double> m_clickMs;
    std::vector<std::pair<double, double>> m_rss;
    qint64 m_nOverSent = 0;
    qint64 m_nOverJournal = 0;
    qint64 m_nCaughtUpTo = 0;
    double m_fCatchUp = -1;
    double m_fCpu = 0;
    double m_fFloodSeconds = 0;
};

int RunChild(int argc, char* argv[], const Options& options)
{
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit()); // journals go there, not to the user's
    QApplication application(argc, argv);
    SetwiseDosegate window;
    window.show();
    Watcher watcher(options, home.path());
    watcher.start();
    while (watcher.port == 0 && !watcher.failed)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (watcher.failed) {
        std::fprintf(stderr, "the simulator did not start\n");
        return 1;
    }
    auto* tabs = window.findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    QWidget* readings = window.findChild<QWidget*>(QStringLiteral("tab_for_potentiometer"));
    watcher.tabBar = tabs->tabBar();
    const int readingsTab = tabs->indexOf(readings);
    tabs->setCurrentIndex(readingsTab);
    for (int i = 0; i < 2; ++i) {
        const int tab = i == 0 ? readingsTab : (readingsTab == 0 ? 1 : 0);
        watcher.centres[i] = watcher.tabBar->tabRect(tab).center();
        watcher.globalCentres[i] = watcher.tabBar->mapToGlobal(watcher.centres[i]);
    }
    QObject::connect(tabs, &QTabWidget::currentChanged, [&watcher] { watcher.TabChanged(); });

    window.findChild<QLineEdit*>(QStringLiteral("m_pLineEdit_ip"))->setText(QStringLiteral("127.0.0.1"));
    window.findChild<QLineEdit*>(QStringLiteral("m_pLineEdit_port"))->setText(QString::number(watcher.port));
    window.findChild<QCheckBox*>(QStringLiteral("calibration_check_box"))->click();
    window.findChild<QPushButton*>(QStringLiteral("m_pPushButton_connect"))->click();
    auto* state = window.findChild<QLabel*>(QStringLiteral("m_pLabel_state"));
    QElapsedTimer waited;
    waited.start();
    while (state->text() != QLatin1String("connected!") && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    watcher.connected = true;
    QObject::connect(&watcher, &QThread::finished, &application, &QCoreApplication::quit);
    const int status = QApplication::exec();
    watcher.wait();
    return status;
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

int RunParent(const Options& options)
{
    std::printf("The console under a flood of nodes 1-8 for %d s, run ticked for node 1, QT_QPA_PLATFORM=%s\n",
                options.seconds, qPrintable(options.platform));
    std::printf("%8s %8s %10s %10s %10s %9s %8s %9s %9s %10s %9s %9s %6s\n", "rate/s", "flood s", "n1 sent", "journal",
                "catch-up s", "missing", "RSS@10s", "RSS end", "spread", "MB/min", "click med", "click max", "cpu %");
    bool ok = true;
    for (const QString& rate : options.rates) {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), options.platform);
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
                    { "--child", rate, "--seconds", QString::number(options.seconds), "--patience",
                      QString::number(options.patience) });
        const bool finished = child.waitForFinished((options.seconds + options.patience + 60) * 1000);
        if (!finished)
            child.kill();
        const QMap<QString, QString> r = ParseResult(QString::fromUtf8(child.readAllStandardOutput()));
        if (r.isEmpty()) {
            ok = false;
            std::printf("%8s failed: %s\n", qPrintable(rate), child.readAllStandardError().constData());
            continue;
        }
        std::printf("%8s %8s %10s %10s %10s %9s %8s %9s %9s %10s %9s %9s %6s\n", qPrintable(rate),
                    qPrintable(r["flood_s"]), qPrintable(r["node1_sent_at_end"]), qPrintable(r["journal_at_end"]),
                    qPrintable(r["catchup_s"]), qPrintable(r["missing"]), qPrintable(r["rss_10s_mb"]),
                    qPrintable(r["rss_end_mb"]), qPrintable(r["rss_spread_mb"]), qPrintable(r["rss_growth_mb_min"]),
                    qPrintable(r["click_median_ms"]), qPrintable(r["click_max_ms"]), qPrintable(r["cpu_pct"]));
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
    QStringList args;
    for (int i = 0; i < argc; ++i)
        args << QString::fromLocal8Bit(argv[i]);
    const Options options = ParseOptions(args);
    if (!options.child.isEmpty())
        return RunChild(argc, argv, options);
    QCoreApplication application(argc, argv);
    return RunParent(options);
}
