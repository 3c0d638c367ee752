#include "AlarmLevels.h"
#include "NodeBoard.h"
#include "StdoutCapture.h"
#include "WatchRequests.h"

#include <QColor>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTemporaryDir>
#include <QTest>
#include <QVector>

#include <cstdlib>
#include <numeric>

namespace {

// A board whose clock the test sets.
struct Board {
    Board()
        : levels(folder.filePath("levels.ini"))
        , board(&levels)
    {
        board.SetClock([this] { return now; });
        board.SetController("127.0.0.1:22001");
    }
    QString Cell(int row, int column) const { return board.index(row, column).data().toString(); }

    QTemporaryDir folder;
    qint64 now = 0;
    AlarmLevels levels;
    NodeBoard board;
};

const char* const kStateNames[] = { "live", "stale", "lost", "above alarm" };

// A state as the board shows it: lost and above alarm with a symbol each.
QString Shown(const QString& state)
{
    if (state == "lost")
        return QString::fromUtf8("✕ lost");
    if (state == "above alarm")
        return QString::fromUtf8("▲ above alarm");
    return state;
}

} // namespace

class TestNodeBoard : public QObject
{
    Q_OBJECT

private slots:
    void statesFollowFramesAndTime_data();
    void statesFollowFramesAndTime();
    void requestsNeverTwoInOnePeriod_data();
    void requestsNeverTwoInOnePeriod();
    void everyNodeOfAFullNetworkGetsOneRowInIdOrder();
    void figuresCoverTheLastMinuteAndTenMinutes();
    void levelsAreKeptPerController();
    void knownNodesShowBeforeTheyAreHeard();
    void lostAndAboveAlarmLookApart();
};

// Node 3 through a script of "time event" steps; count 100 is 0.56 uSv/h,
// count 16 is 0.0896. "check" refreshes and notes the state shown.
void TestNodeBoard::statesFollowFramesAndTime_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QStringList>("changes");

    QTest::newRow("fresh") << "0 frame 16; 0 check" << QStringList { "live" } << QStringList {};
    QTest::newRow("stale after three periods of requests")
        << "0 requests; 0 frame 16; 5999 check; 6000 check" << QStringList { "live", "stale" }
        << QStringList { "stale" };
    QTest::newRow("no requests, no staleness") << "0 frame 16; 600000 check" << QStringList { "live" }
                                               << QStringList {};
    QTest::newRow("lost after a minute") << "0 requests; 0 frame 16; 6000 check; 59999 check; 60000 check"
                                         << QStringList { "stale", "stale", "lost" }
                                         << QStringList { "stale", "lost" };
    QTest::newRow("back to live") << "0 requests; 0 frame 16; 60000 check; 61000 frame 16; 61000 check"
                                  << QStringList { "lost", "live" } << QStringList { "lost", "live" };
    QTest::newRow("silence counts from the start of the requests")
        << "0 frame 16; 50000 requests; 55999 check; 56000 check" << QStringList { "live", "stale" }
        << QStringList { "stale" };
    QTest::newRow("restarted requests leave a stale node stale")
        << "0 requests; 0 frame 16; 6000 check; 7000 norequests; 8000 requests; 9000 check; 68000 check"
        << QStringList { "stale", "stale", "lost" } << QStringList { "stale", "lost" };
    QTest::newRow("above a typed level") << "0 frame 100; 0 check; 0 type 0.5; 0 frame 100; 0 check"
                                         << QStringList { "live", "above alarm" } << QStringList { "above alarm" };
    QTest::newRow("a level equal to the dose is not exceeded")
        << "0 frame 100; 0 check; 0 type 0.56; 0 frame 100; 0 check" << QStringList { "live", "live" }
        << QStringList {};
    QTest::newRow("a peak between refreshes counts")
        << "0 frame 16; 0 check; 0 type 0.5; 100 frame 100; 200 frame 16; 250 check; 500 check"
        << QStringList { "live", "above alarm", "live" } << QStringList { "above alarm", "live" };
    QTest::newRow("acknowledged threshold is the level")
        << "0 sent 0.5; 0 ack 3; 0 frame 100; 0 check" << QStringList { "above alarm" }
        << QStringList { "above alarm" };
    QTest::newRow("another node's acknowledgement is not")
        << "0 sent 0.5; 0 ack 4; 0 frame 100; 0 check" << QStringList { "live" } << QStringList {};
    QTest::newRow("acknowledged threshold overrules a typed level")
        << "0 frame 100; 0 check; 0 type 0.5; 0 sent 1; 0 ack 3; 0 type 0.1; 0 frame 100; 0 check"
        << QStringList { "live", "live" } << QStringList {};
    QTest::newRow("an unreadable level is refused")
        << "0 frame 100; 0 check; 0 type 0.5; 0 type x; 0 type -1; 0 check"
        << QStringList { "live", "above alarm" } << QStringList { "above alarm" };
    // Count 88 is 98.6 % of a level of 0.5, count 84 is 94.1 %.
    QTest::newRow("hovering just below the level leaves after two periods")
        << "0 frame 16; 0 check; 0 type 0.5; 0 frame 100; 0 check; 2000 frame 88; 2000 check; 4000 frame 88; "
           "4000 check; 5999 check; 6000 check"
        << QStringList { "live", "above alarm", "above alarm", "above alarm", "above alarm", "live" }
        << QStringList { "above alarm", "live" };
    QTest::newRow("below 95 % of the level leaves at once")
        << "0 frame 16; 0 check; 0 type 0.5; 0 frame 100; 0 check; 2000 frame 84; 2000 check"
        << QStringList { "live", "above alarm", "live" } << QStringList { "above alarm", "live" };
    QTest::newRow("above the level again starts the two periods afresh")
        << "0 frame 16; 0 check; 0 type 0.5; 0 frame 100; 0 check; 2000 frame 88; 2000 check; 3000 frame 100; "
           "3000 check; 4000 frame 88; 4000 check; 6000 check; 8000 check"
        << QStringList { "live", "above alarm", "above alarm", "above alarm", "above alarm", "above alarm", "live" }
        << QStringList { "above alarm", "live" };
    QTest::newRow("stale wins over above alarm")
        << "0 requests; 0 frame 100; 0 check; 0 type 0.5; 0 check; 6000 check"
        << QStringList { "live", "above alarm", "stale" } << QStringList { "above alarm", "stale" };
}

void TestNodeBoard::statesFollowFramesAndTime()
{
    QFETCH(QString, script);
    QFETCH(QStringList, shown);
    QFETCH(QStringList, changes);
    Board b;
    QSignalSpy spy(&b.board, SIGNAL(StateChanged(int, NodeBoard::State)));
    StdoutCapture capture;
    QStringList seen;
    for (const QString& step : script.split("; ")) {
        const QStringList word = step.split(' ');
        b.now = word[0].toLongLong();
        const QString event = word[1];
        const QString argument = word.value(2);
        if (event == "frame")
            b.board.TakeDoseCount(3, argument.toInt());
        else if (event == "requests" || event == "norequests")
            b.board.SetRequesting(event == "requests");
        else if (event == "type")
            b.board.setData(b.board.index(0, NodeBoard::ColumnAlarmLevel), argument);
        else if (event == "sent")
            b.board.ThresholdSent(3, argument.toDouble());
        else if (event == "ack")
            b.board.TakeReply(argument.toInt(), 0, 1);
        else if (event == "check") {
            b.board.Refresh();
            seen << b.Cell(0, NodeBoard::ColumnState);
        } else
            QFAIL(qPrintable("no such event: " + step));
    }
    const QStringList logLines = QString::fromUtf8(capture.Finish()).split('\n', Qt::SkipEmptyParts);
    for (QString& state : shown)
        state = Shown(state);
    QCOMPARE(seen, shown);
    QStringList signalled;
    for (const QList<QVariant>& change : spy) {
        QCOMPARE(change[0].toInt(), 3);
        signalled << kStateNames[change[1].toInt()];
    }
    QCOMPARE(signalled, changes);
    // One log line for each change but the return to live.
    changes.removeAll("live");
    QCOMPARE(logLines.size(), changes.size());
    for (int i = 0; i < logLines.size(); ++i)
        QVERIFY2(logLines[i].contains("node 3 is " + changes[i]), qPrintable(logLines[i]));
}

// Events at times; the requests the plan sends are noted with their times.
// "runreq" is a request of the potentiometer run.
void TestNodeBoard::requestsNeverTwoInOnePeriod_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("requests");

    QTest::newRow("at once, then every period") << "0 watch; 1999 fire; 2000 fire; 3000 fire; 4000 fire"
                                                << "0 2000 4000";
    QTest::newRow("the run's requests serve both")
        << "0 watch; 500 run; 2500 runreq; 2600 fire; 4500 runreq; 5000 fire" << "0";
    QTest::newRow("after the run, the period counts from its last request")
        << "0 watch; 500 run; 2500 runreq; 3000 stop; 4499 fire; 4500 fire; 6500 fire" << "0 4500 6500";
    QTest::newRow("watching ticked just after a run request")
        << "0 run; 2000 runreq; 2500 watch; 2500 stop; 3999 fire; 4000 fire" << "4000";
    QTest::newRow("watching ticked long after a run request") << "0 run; 2000 runreq; 2500 stop; 9000 watch"
                                                              << "9000";
    QTest::newRow("unticked, nothing more") << "0 watch; 1000 unwatch; 2000 fire; 4000 fire" << "0";
    QTest::newRow("ticked again within the period") << "0 watch; 500 unwatch; 600 watch; 1999 fire; 2000 fire"
                                                    << "0 2000";
}

void TestNodeBoard::requestsNeverTwoInOnePeriod()
{
    QFETCH(QString, script);
    QFETCH(QString, requests);
    qint64 now = 0;
    WatchRequests plan;
    plan.SetClock([&] { return now; });
    QStringList sent;
    QList<qint64> all; // the plan's and the run's
    connect(&plan, &WatchRequests::RequestDue, [&] {
        sent << QString::number(now);
        all << now;
    });
    for (const QString& step : script.split("; ")) {
        const QStringList word = step.split(' ');
        now = word[0].toLongLong();
        const QString event = word[1];
        if (event == "watch" || event == "unwatch")
            plan.SetWatching(event == "watch");
        else if (event == "run" || event == "stop")
            plan.SetRunActive(event == "run");
        else if (event == "runreq") {
            plan.NoteRunRequest();
            all << now;
        } else if (event == "fire")
            plan.Fire();
        else
            QFAIL(qPrintable("no such event: " + step));
    }
    QCOMPARE(sent.join(' '), requests);
    for (int i = 1; i < all.size(); ++i)
        QVERIFY2(all[i] - all[i - 1] >= WatchRequests::kPeriodMs, qPrintable(QString::number(all[i])));
}

// Frames alone never touch the view; the refresh shows them all at once.
// Ids outside 1 to 255 are no node's and get no row.
void TestNodeBoard::everyNodeOfAFullNetworkGetsOneRowInIdOrder()
{
    Board b;
    QSignalSpy changed(&b.board, &QAbstractItemModel::dataChanged);
    QSignalSpy inserted(&b.board, &QAbstractItemModel::rowsInserted);
    for (int round = 0; round < 3; ++round) {
        for (int id : { 0, 256, 300, 65535 })
            b.board.TakeDoseCount(id, 16);
        for (int id = 255; id >= 1; --id)
            b.board.TakeDoseCount(id, id);
    }
    QCOMPARE(changed.count() + inserted.count(), 0);
    QCOMPARE(b.board.rowCount(), 0);
    b.board.Refresh();
    QCOMPARE(changed.count(), 1);
    QCOMPARE(b.board.rowCount(), 255);
    for (int row = 0; row < 255; ++row) {
        QCOMPARE(b.Cell(row, NodeBoard::ColumnId), QString::number(row + 1));
        QCOMPARE(b.Cell(row, NodeBoard::ColumnLastMinute), QString("3"));
    }
    QCOMPARE(b.Cell(99, NodeBoard::ColumnDose), QString("0.5600"));
    QCOMPARE(b.Cell(99, NodeBoard::ColumnMinimum), QString("0.5600")); // unused slots are no doses of 0

    // All of them silent at once: one report of the refresh's changes.
    QSignalSpy states(&b.board, SIGNAL(StatesChanged(QVector<int>, QVector<int>)));
    b.board.SetRequesting(true);
    b.now = NodeBoard::kStaleAfterMs;
    StdoutCapture capture;
    b.board.Refresh();
    capture.Finish();
    QCOMPARE(states.size(), 1);
    QVector<int> ids(255);
    std::iota(ids.begin(), ids.end(), 1);
    QCOMPARE(states[0][0].value<QVector<int>>(), ids);
    QCOMPARE(states[0][1].value<QVector<int>>(), QVector<int>(255, NodeBoard::Stale));
}

// One dose a second for eleven minutes: 0.0056 x its minute of the run,
// so the ten minutes begin with minute 1 and the last one is minute 10.
void TestNodeBoard::figuresCoverTheLastMinuteAndTenMinutes()
{
    Board b;
    b.board.SetRequesting(true);
    for (int second = 0; second < 660; ++second) {
        b.now = second * 1000 + 500;
        b.board.TakeDoseCount(7, second / 60);
    }
    b.now = 659999;
    b.board.Refresh();
    QCOMPARE(b.Cell(0, NodeBoard::ColumnLastMinute), QString("60"));
    QCOMPARE(b.Cell(0, NodeBoard::ColumnMinimum), QString("0.0056"));
    QCOMPARE(b.Cell(0, NodeBoard::ColumnMean), QString("0.0308")); // minutes 1 to 10: 5.5 x 0.0056
    QCOMPARE(b.Cell(0, NodeBoard::ColumnMaximum), QString("0.0560"));
    QCOMPARE(b.Cell(0, NodeBoard::ColumnAge), QString("0 s ago"));
    const QVector<float> trend = b.board.index(0, NodeBoard::ColumnTrend).data(NodeBoard::TrendRole).value<QVector<float>>();
    QCOMPARE(trend.size(), NodeHistory::kTrendPoints);
    QCOMPARE(QString::number(double(trend.first()), 'f', 4), QString("0.0056"));
    QCOMPARE(QString::number(double(trend.last()), 'f', 4), QString("0.0560"));

    b.now += 3 * 60 * 1000; // silent for three minutes, requests running
    b.board.Refresh();
    QCOMPARE(b.Cell(0, NodeBoard::ColumnLastMinute), QString("0"));
    QCOMPARE(b.Cell(0, NodeBoard::ColumnAge), QString("3 min ago"));
    QCOMPARE(b.Cell(0, NodeBoard::ColumnState), Shown("lost"));
    QCOMPARE(b.Cell(0, NodeBoard::ColumnMinimum), QString("0.0224")); // minutes 4 to 10 left
}

void TestNodeBoard::levelsAreKeptPerController()
{
    QTemporaryDir folder;
    const QString file = folder.filePath("levels.ini");
    {
        AlarmLevels levels(file);
        levels.SetController("10.0.0.7:4001");
        levels.SetTyped(3, 0.25);
        levels.SetAcknowledged(4, 12.5);
        levels.SetController("[::1]:4001");
        levels.SetTyped(3, 7.0);
    }
    AlarmLevels levels(file);
    levels.SetController("10.0.0.7:4001");
    QCOMPARE(levels.InForce(3), 0.25);
    QCOMPARE(levels.InForce(4), 12.5);
    levels.SetTyped(4, 1.0);
    QCOMPARE(levels.InForce(4), 12.5); // the acknowledged one stays in force
    levels.SetController("[::1]:4001");
    QCOMPARE(levels.InForce(3), 7.0);
    QCOMPARE(levels.InForce(4), 0.0);
}

// Nodes the register or the alarm levels know are rows from the start, and
// become like any other with their first dose.
void TestNodeBoard::knownNodesShowBeforeTheyAreHeard()
{
    Board b;
    b.levels.SetController("10.0.0.1:8888");
    b.levels.SetTyped(9, 1.0);
    b.levels.SetController("10.0.0.2:8888");
    QStandardItemModel register_;
    for (int id : { 4, 300, 2 })
        register_.appendRow(new QStandardItem(QString::number(id)));
    b.board.KnowNodesOf(&register_, 0);
    b.board.SetController("10.0.0.1:8888");
    QSignalSpy changes(&b.board, SIGNAL(StateChanged(int, NodeBoard::State)));
    b.board.SetRequesting(true);
    b.now = 120000; // long past lost, had they been heard
    b.board.Refresh();
    QCOMPARE(b.board.rowCount(), 3);
    for (int row = 0; row < 3; ++row) {
        QCOMPARE(b.Cell(row, NodeBoard::ColumnId), QString::number(QList<int> { 2, 4, 9 }[row]));
        QCOMPARE(b.Cell(row, NodeBoard::ColumnState), QString("not heard since start"));
        QCOMPARE(b.Cell(row, NodeBoard::ColumnDose), QString());
    }
    QCOMPARE(b.Cell(2, NodeBoard::ColumnAlarmLevel), QString("1.0000"));
    register_.appendRow(new QStandardItem("7"));
    b.board.TakeDoseCount(4, 16);
    b.board.Refresh();
    QCOMPARE(b.board.rowCount(), 4);
    QCOMPARE(b.Cell(1, NodeBoard::ColumnState), QString("live"));
    QCOMPARE(b.Cell(1, NodeBoard::ColumnDose), QString("0.0896"));
    QCOMPARE(b.Cell(2, NodeBoard::ColumnState), QString("not heard since start"));
    QCOMPARE(changes.size(), 0);
}

void TestNodeBoard::lostAndAboveAlarmLookApart()
{
    Board b;
    b.board.SetController("10.0.0.1:8888");
    b.levels.SetTyped(5, 0.1);
    b.board.TakeDoseCount(5, 100); // above its level
    b.board.TakeDoseCount(6, 16);
    b.board.SetRequesting(true);
    b.now = 30000;
    b.board.TakeDoseCount(5, 100);
    b.now = 61000; // node 6 silent for a minute
    b.board.TakeDoseCount(5, 100);
    b.board.Refresh();
    QCOMPARE(b.Cell(0, NodeBoard::ColumnState), Shown("above alarm"));
    QCOMPARE(b.Cell(1, NodeBoard::ColumnState), Shown("lost"));
    const QColor alarm = b.board.index(0, NodeBoard::ColumnState).data(Qt::BackgroundRole).value<QColor>();
    const QColor lost = b.board.index(1, NodeBoard::ColumnState).data(Qt::BackgroundRole).value<QColor>();
    QVERIFY(alarm.isValid() && lost.isValid());
    // Apart in lightness too, for whoever does not tell the hues apart.
    QVERIFY2(std::abs(alarm.lightness() - lost.lightness()) >= 30 && alarm.hue() != lost.hue(),
             qPrintable(alarm.name() + " " + lost.name()));
}

QTEST_GUILESS_MAIN(TestNodeBoard)
#include "tst_nodeboard.moc"
