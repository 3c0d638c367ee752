// The board of nodes with the time simulated, as the window wires it: dose
// counts through a string-connected signal, a refresh every 250 ms, the
// table with its drawn trends rendered after each refresh. Two loads over
// 255 nodes: each node answering every 2000 ms, and a flood of 100,000
// frames/s. Each load first fills the ten minutes of history, is measured
// for 60 s (process CPU, refresh plus repaint per refresh), then runs ten
// minutes more; the resident memory is read at each of those points.
// Then a chart per row against the drawn trend, for the record. Last, all
// 255 nodes going stale at once, with their rows handed to the records
// writer as the window does: the longest stall of the GUI thread, in wall
// time.
//
//   bench_nodes [--seconds S] [--flood FRAMES_PER_S]
#include "AlarmLevels.h"
#include "BenchSupport.h"
#include "ChartsCompat.h"
#include "CommandEvents.h"
#include "NodeBoard.h"
#include "NodeTrendDelegate.h"
#include "RecordWriter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMetaEnum>
#include <QHeaderView>
#include <QImage>
#include <QPainter>
#include <QTableView>
#include <QTemporaryDir>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kNodes = 255;
constexpr int kTickMs = NodeBoard::kRefreshMs;
constexpr int kHistorySeconds = NodeHistory::kSeconds;
constexpr int kViewWidth = 1000;
constexpr int kViewHeight = 700;

// This thread's CPU time: the board runs on the GUI thread alone, and wall
// time on two shared cores counts the other engineers' work too.
double ThreadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

double Percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(share * double(values.size())))];
}

// Sends dose counts the way the link session relays them.
class Source : public QObject
{
    Q_OBJECT

public:
    void Send(int id, int count) { emit CountDoseSignl(id, count); }

signals:
    void CountDoseSignl(int id, int count);
};

// The window's way from the board's changes to the records.
class StateRecorder : public QObject
{
    Q_OBJECT

public:
    explicit StateRecorder(CommandEvents* events)
        : m_pEvents(events)
    {
    }

public slots:
    void Record(const QVector<int>& ids, const QVector<int>& states)
    {
        QStringList names;
        for (int state : states)
            names << QString::fromLatin1(QMetaEnum::fromType<NodeBoard::State>().valueToKey(state));
        m_pEvents->NodeStatesChanged(ids, names);
    }

private:
    CommandEvents* m_pEvents;
};

struct Load {
    const char* name;
    double framesPerSecond;
    bool flood; // else every node once per request period
};

struct Figures {
    double cpu = 0.0;        // the process, seconds
    double nsPerFrame = 0.0; // taking a frame in
    double refreshMedian = 0.0;
    double refreshP99 = 0.0;
    double refreshMax = 0.0;
    double mibFull = 0.0;
    double mibMeasured = 0.0;
    double mibLater = 0.0;
};

class Board
{
public:
    explicit Board(const Load& load)
        : m_load(load)
        , m_levels(m_folder.filePath(QStringLiteral("levels.ini")))
        , m_board(&m_levels)
    {
        m_board.SetClock([this] { return m_nNow; });
        m_board.SetController(QStringLiteral("bench:1"));
        m_board.SetRequesting(true);
        QObject::connect(&m_source, SIGNAL(CountDoseSignl(int, int)), &m_board, SLOT(TakeDoseCount(int, int)));
        m_view.setModel(&m_board);
        m_view.setItemDelegateForColumn(NodeBoard::ColumnTrend, new NodeTrendDelegate(&m_view));
        m_view.verticalHeader()->hide();
        m_view.resize(kViewWidth, kViewHeight);
    }

    // Simulated seconds of traffic; with `paint`, each refresh is followed
    // by a repaint of the view, and both are timed.
    void Run(int seconds, bool paint)
    {
        const int ticks = seconds * 1000 / kTickMs;
        for (int tick = 0; tick < ticks; ++tick) {
            const double framesFrom = ThreadCpuMs();
            Frames();
            const double refreshFrom = ThreadCpuMs();
            m_fFramesMs += refreshFrom - framesFrom;
            m_nNow += kTickMs;
            m_board.Refresh();
            if (paint) {
                Paint();
                m_refreshMs.push_back(ThreadCpuMs() - refreshFrom);
            }
        }
    }

    Figures Measure(int seconds)
    {
        Figures f;
        Run(1, true); // the first paint sets up fonts and caches for good
        Run(kHistorySeconds, false);
        m_refreshMs.clear();
        f.mibFull = Bench::RssMib();
        const double cpuMs = Bench::CpuMs();
        const qint64 sent = m_nSent;
        m_fFramesMs = 0.0;
        Run(seconds, true);
        f.cpu = (Bench::CpuMs() - cpuMs) / 1e3;
        f.nsPerFrame = m_nSent > sent ? m_fFramesMs * 1e6 / double(m_nSent - sent) : 0.0;
        f.mibMeasured = Bench::RssMib();
        Run(kHistorySeconds, false);
        f.mibLater = Bench::RssMib();
        f.refreshMedian = Percentile(m_refreshMs, 0.5);
        f.refreshP99 = Percentile(m_refreshMs, 0.99);
        f.refreshMax = Percentile(m_refreshMs, 1.0);
        return f;
    }

    // The trend column alone, as the delegate draws it for the rows in
    // sight.
    double TrendCellsMs(int rows)
    {
        QStyleOptionViewItem option;
        option.initFrom(&m_view);
        option.rect = QRect(0, 0, m_view.columnWidth(NodeBoard::ColumnTrend), m_view.rowHeight(0));
        QImage image(option.rect.size(), QImage::Format_ARGB32_Premultiplied);
        const double from = ThreadCpuMs();
        for (int row = 0; row < rows; ++row) {
            QPainter painter(&image);
            m_view.itemDelegateForColumn(NodeBoard::ColumnTrend)
                ->paint(&painter, option, m_board.index(row, NodeBoard::ColumnTrend));
        }
        return ThreadCpuMs() - from;
    }

private:
    void Paint()
    {
        m_view.doItemsLayout();
        QPainter painter(&m_image);
        m_view.render(&painter);
    }

    // The frames of one tick: all the flood's, or the answers to a request
    // when one falls due. Counts about the background's, a little noisy.
    void Frames()
    {
        if (m_load.flood) {
            m_fOwed += m_load.framesPerSecond * kTickMs / 1000.0;
            for (; m_fOwed >= 1.0; m_fOwed -= 1.0)
                Send();
        } else if (m_nNow % 2000 == 0) {
            for (int i = 0; i < kNodes; ++i)
                Send();
        }
    }
    void Send()
    {
        m_source.Send(m_nNextId, 16 + int(m_nSent % 7));
        m_nNextId = m_nNextId % kNodes + 1;
        ++m_nSent;
    }

    Load m_load;
    QTemporaryDir m_folder;
    AlarmLevels m_levels;
    NodeBoard m_board;
    Source m_source;
    QTableView m_view;
    QImage m_image { kViewWidth, kViewHeight, QImage::Format_ARGB32_Premultiplied };
    qint64 m_nNow = 0;
    double m_fOwed = 0.0;
    int m_nNextId = 1;
    qint64 m_nSent = 0;
    std::vector<double> m_refreshMs;
    double m_fFramesMs = 0.0;
};

// The same ten-minute trend as a chart of its own per row: time to hand
// the charts in sight their points and render them, and the memory that
// charts for every node take.
double ChartPerRowMs(int rows, double& mibForAll)
{
    const double mibBefore = Bench::RssMib();
    std::vector<QChartView*> charts;
    QVector<QPointF> points;
    for (int i = 0; i < NodeHistory::kTrendPoints; ++i)
        points.append(QPointF(i, 0.1 + 0.01 * (i % 7)));
    for (int row = 0; row < kNodes; ++row) {
        auto* series = new QLineSeries;
        auto* chart = new QChart;
        chart->addSeries(series);
        chart->createDefaultAxes();
        chart->legend()->hide();
        auto* view = new QChartView(chart);
        view->resize(140, 30);
        charts.push_back(view);
    }
    QImage image(140, 30, QImage::Format_ARGB32_Premultiplied);
    for (QChartView* view : charts) { // every chart drawn once, as scrolling would
        static_cast<QLineSeries*>(view->chart()->series().first())->replace(points);
        QPainter painter(&image);
        view->render(&painter);
    }
    mibForAll = Bench::RssMib() - mibBefore;
    const double from = ThreadCpuMs();
    for (int row = 0; row < rows; ++row) {
        QChartView* view = charts[std::size_t(row)];
        static_cast<QLineSeries*>(view->chart()->series().first())->replace(points);
        QPainter painter(&image);
        view->render(&painter);
    }
    const double ms = ThreadCpuMs() - from;
    for (QChartView* view : charts)
        delete view;
    return ms;
}

// 255 nodes answering, then silent at once: the refresh that finds them
// stale, with its log lines (to /dev/null), the rows handed to the writer
// and the repaint. The longest of a few rounds, in wall time.
double StaleStallMs(int rounds)
{
    QTemporaryDir folder;
    AlarmLevels levels(folder.filePath(QStringLiteral("levels.ini")));
    NodeBoard board(&levels);
    qint64 now = 0;
    board.SetClock([&now] { return now; });
    board.SetController(QStringLiteral("bench:1"));
    board.SetRequesting(true);
    RecordWriter writer;
    writer.Open(folder.filePath(QStringLiteral("records.sqlite")));
    CommandEvents events(&writer);
    StateRecorder recorder(&events);
    QObject::connect(&board, SIGNAL(StatesChanged(QVector<int>, QVector<int>)), &recorder,
                     SLOT(Record(QVector<int>, QVector<int>)));
    QTableView view;
    view.setModel(&board);
    view.setItemDelegateForColumn(NodeBoard::ColumnTrend, new NodeTrendDelegate(&view));
    view.resize(kViewWidth, kViewHeight);
    QImage image(kViewWidth, kViewHeight, QImage::Format_ARGB32_Premultiplied);
    const auto refresh = [&] {
        board.Refresh();
        view.doItemsLayout();
        QPainter painter(&image);
        view.render(&painter);
    };
    std::fflush(stdout);
    const int out = dup(STDOUT_FILENO);
    const int null = open("/dev/null", O_WRONLY);
    dup2(null, STDOUT_FILENO);
    double longest = 0.0;
    for (int round = 0; round < rounds; ++round) {
        for (int id = 1; id <= kNodes; ++id)
            board.TakeDoseCount(id, 16);
        refresh(); // live again
        now += NodeBoard::kStaleAfterMs;
        QElapsedTimer stall;
        stall.start();
        refresh();
        longest = std::max(longest, double(stall.nsecsElapsed()) / 1e6);
        now += NodeBoard::kRefreshMs;
        Bench::WaitFor([&] { return writer.Queued() == 0; }, 30000);
    }
    std::fflush(stdout);
    dup2(out, STDOUT_FILENO);
    close(null);
    close(out);
    return longest;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const int seconds = std::max(1, Bench::IntArgument(arguments, "--seconds", 60));
    const double flood = std::max(1, Bench::IntArgument(arguments, "--flood", 100000));
    const Load loads[] = {
        { "nominal, every node each 2000 ms", kNodes / 2.0, false },
        { "flood", flood, true },
    };
    std::printf("board of nodes: %d nodes, simulated time, view %d x %d px rendered after each refresh\n", kNodes,
                kViewWidth, kViewHeight);
    std::printf("measured: %d s after the ten minutes of history are full; memory then, after the %d s, "
                "and ten minutes later\n\n",
                seconds, seconds);
    std::printf("%-34s %10s %9s %7s %9s %28s %30s\n", "load", "frames/s", "cpu s", "cpu %", "ns/frame",
                "refresh+paint ms med/p99/max", "resident MiB full/+run/+10min");
    const int visibleRows = kViewHeight / 30;
    double delegateMs = 0.0;
    for (const Load& load : loads) {
        Board board(load);
        const Figures f = board.Measure(seconds);
        delegateMs = board.TrendCellsMs(visibleRows);
        std::printf("%-34s %10.1f %9.2f %7.2f %9.0f %12.2f/%6.2f/%8.2f %12.1f/%7.1f/%9.1f\n", load.name,
                    load.framesPerSecond, f.cpu, 100.0 * f.cpu / seconds, f.nsPerFrame, f.refreshMedian, f.refreshP99,
                    f.refreshMax, f.mibFull, f.mibMeasured, f.mibLater);
        std::fflush(stdout);
    }
    double chartsMib = 0.0;
    const double chartsMs = ChartPerRowMs(visibleRows, chartsMib);
    std::printf("\n(cpu s, cpu %%: the whole process over the measured time; ns/frame and refresh+paint: CPU time of"
                " the GUI thread)\n");
    std::printf("trend of %d rows in sight: drawn by the delegate %.2f ms, as a chart per row %.2f ms per refresh;"
                " charts for all %d nodes take %.1f MiB\n",
                visibleRows, delegateMs, chartsMs, kNodes, chartsMib);
    std::printf("longest GUI stall, 255 nodes stale at once: %.1f ms\n", StaleStallMs(5));
    return 0;
}

#include "bench_nodes.moc"
