#include "ConsoleLanguage.h"
#include "FiringTimers.h"
#include "ModalWatcher.h"
#include "NodeBoard.h"
#include "RecordStore.h"
#include "ReplyFrames.h"
#include "WindowRig.h"

#include <QApplication>
#include <QDateTime>
#include <QTimer>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableView>
#include <QTableWidget>
#include <QTest>

namespace {

QString Blanks(int count)
{
    return QString(count, QLatin1Char(' '));
}

// A run with `rows` table rows of count 16 readings for node 1.
void FillTable(WindowRig& rig, int rows)
{
    rig.Find<QCheckBox>("calibration_check_box")->setChecked(true);
    for (int i = 0; i < rows; ++i) {
        rig.Reading(1, 16);
        rig.Tick();
    }
}

} // namespace

class TestReplies : public QObject
{
    Q_OBJECT

private slots:
    void replyShowsItsBox_data();
    void replyShowsItsBox();
    void unknownRepliesAreIgnored();
    void thresholdRepliesWithinASecondGiveOneLateBox();
    void stepReplyMarksTheNewestRow();
    void stepReplyRestartsTheAveraging();
    void stepReplyWithEmptyTableOnlyShowsItsBox();
    void acknowledgedThresholdIsTheNodesAlarmLevel();
    void repliesInOneSegmentOpenTheirBoxesAtOnceAndAreKeptInOrder();
};

void TestReplies::replyShowsItsBox_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<int>("y");
    QTest::addColumn<QString>("box");
    QTest::addColumn<bool>("chinese");

    // Each box in English and in Chinese.
    const auto add = [](const char* name, int x, int y, const QString& box) {
        QTest::addRow("%s", name) << x << y << box << false;
        QTest::addRow("%s in Chinese", name) << x << y << box << true;
    };
    const QString idText = "Device completes node ID setting: The device ID has been successfully modified!";
    add("switches", 2, 0, "Set screen display and alarm switches|Set screen display and alarm switches!" + Blanks(11));
    add("detector", 3, 0, "Set detector parameters|Device completes detector parameter settings!" + Blanks(11));
    add("node id", 5, 0, "Modify nodes ID: Modify device ID|" + idText + Blanks(11));
    add("language", 6, 0, "set language|Device completes language settings!" + Blanks(11));
    add("precision", 7, 0, "Setting Precision|Device completes accuracy setting!" + Blanks(11));
    add("coefficients", 10, 0, "SetCalibration|Calibration Coefficient Success!" + Blanks(11));
    add("step up", 11, 0, "up|success ");
    add("step down", 12, 0, "down|success ");
    add("unit Gy", 14, 0, "Set Display Units|Device completes display unit settings!-Gy" + Blanks(11));
    add("unit Rad", 14, 1, "Set Display Units|Device completes display unit settings!-Rad" + Blanks(11));
    add("unit Sv", 14, 2, "Set Display Units|Device completes display unit settings!-Sv" + Blanks(11));
    add("unknown unit reads as Sv", 14, 5, "Set Display Units|Device completes display unit settings!-Sv" + Blanks(11));
    add("alarm test running", 15, 1, "Alarm testing|The device is undergoing alarm testing" + Blanks(11));
    add("alarm test off", 15, 0, "Alarm testing|Turn off alarm testing" + Blanks(11));
    add("alarm test, other state", 15, 2, "Alarm testing|Turn off alarm testing" + Blanks(11));
}

// In Chinese the box shows the catalogue's words for the English ones,
// without the blanks that widen the English box.
void TestReplies::replyShowsItsBox()
{
    QFETCH(int, x);
    QFETCH(int, y);
    QFETCH(QString, box);
    QFETCH(bool, chinese);
    const ConsoleLanguage speaking(chinese ? ConsoleLanguage::kChinese : ConsoleLanguage::kEnglish);
    if (chinese) {
        const QStringList english = box.split('|');
        const QString shown = QCoreApplication::translate("ReplyBoxes", qPrintable(english[0])) + '|'
            + QCoreApplication::translate("ReplyBoxes", qPrintable(english[1].trimmed()));
        QVERIFY2(shown.contains(QRegularExpression("\\p{Han}.*\\|\\p{Han}")), qPrintable(shown));
        box = shown;
    }
    WindowRig rig;
    ModalWatcher watcher;
    QVERIFY(rig.Connect());
    rig.controller.Send(ReplyFrames::Acknowledge(1, y, x));
    QTRY_COMPARE(watcher.boxes, QStringList { box });
    QCOMPARE(watcher.boxHadParent, QList<bool> { true });
}

// The known reply sent last shows that the ones before it were handled.
void TestReplies::unknownRepliesAreIgnored()
{
    WindowRig rig;
    ModalWatcher watcher;
    QVERIFY(rig.Connect());
    QByteArray replies;
    for (int x : { 0, 4, 8, 9, 16, 200, 255 })
        replies += ReplyFrames::Acknowledge(1, 1, x);
    rig.controller.Send(replies + ReplyFrames::Acknowledge(1, 0, 6));
    QTRY_COMPARE(watcher.boxes.size(), 1);
    QVERIFY(watcher.boxes[0].startsWith("set language|"));
}

void TestReplies::thresholdRepliesWithinASecondGiveOneLateBox()
{
    WindowRig rig;
    ModalWatcher watcher;
    watcher.SetHoldMs(1500); // an operator who leaves the box open
    QVERIFY(rig.Connect());
    FiringTimers boxTimers(1000);
    QElapsedTimer clock;
    clock.start();
    rig.controller.Send(ReplyFrames::Acknowledge(1, 0, 1));
    QTest::qWait(500); // the reply's timing is the subject
    rig.controller.Send(ReplyFrames::Acknowledge(1, 0, 1));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.boxes.size(), 1, 4000);
    QVERIFY2(clock.elapsed() >= 1400, "the box waits a second after the last reply");
    QCOMPARE(watcher.boxes[0], "Set threshold|Device completes node ID setting: The device ID has been successfully modified!" + Blanks(32));
    QCOMPARE(boxTimers.Count(), 1);
    QVERIFY(!boxTimers.AnyActive()); // no second box is due
}

void TestReplies::stepReplyMarksTheNewestRow()
{
    WindowRig rig;
    ModalWatcher watcher;
    QVERIFY(rig.Connect());
    FillTable(rig, 3);
    auto* table = rig.Find<QTableWidget>("tableWidget_for_potentiometer");
    QCOMPARE(table->rowCount(), 3);
    rig.controller.Send(ReplyFrames::Acknowledge(1, 0, 12));
    QTRY_VERIFY(table->item(2, 0));
    QCOMPARE(table->item(2, 0)->text(), QString("10+"));
    QVERIFY(!table->item(1, 0));

    rig.Find<QSpinBox>("n_SpinBox_potentiometer")->setValue(7);
    rig.controller.Send(ReplyFrames::Acknowledge(1, 0, 11));
    QTRY_COMPARE(table->item(2, 0)->text(), QString("7-"));
}

// Twenty readings of 0.09, a step, then new readings of 0.18: no mean shows
// until twenty new ones have come, all of them at the new gain.
void TestReplies::stepReplyRestartsTheAveraging()
{
    WindowRig rig;
    ModalWatcher watcher;
    QVERIFY(rig.Connect());
    rig.Find<QCheckBox>("calibration_check_box")->setChecked(true);
    rig.Readings(1, 16, 20);
    QCOMPARE(rig.Text("average_group_3"), QString("0.0896"));

    rig.controller.Send(ReplyFrames::Acknowledge(1, 0, 11));
    QTRY_COMPARE(watcher.boxes.size(), 1);
    rig.Readings(1, 32, 19);
    QCOMPARE(rig.Text("average_group_3"), QString()); // the old gain's mean is gone with its window
    rig.Reading(1, 32);
    QTRY_COMPARE(rig.Text("average_group_3"), QString("0.1792")); // the mean is shown at a pace
}

void TestReplies::stepReplyWithEmptyTableOnlyShowsItsBox()
{
    WindowRig rig;
    ModalWatcher watcher;
    QVERIFY(rig.Connect());
    rig.controller.Send(ReplyFrames::Acknowledge(1, 0, 11));
    QTRY_COMPARE(watcher.boxes, QStringList { "up|success " });
    QCOMPARE(rig.Find<QTableWidget>("tableWidget_for_potentiometer")->rowCount(), 0);
}

// Count 100 is 0.56 uSv/h, above the 0.5 that node 3 took over.
void TestReplies::acknowledgedThresholdIsTheNodesAlarmLevel()
{
    WindowRig rig;
    ModalWatcher watcher;
    QVERIFY(rig.Connect());
    rig.Find<QDoubleSpinBox>("m_pSpinBox_thr")->setValue(0.5);
    rig.Find<QSpinBox>("m_pSpinBox_thr_id")->setValue(3);
    rig.Click("m_pPushButton_thr");
    rig.controller.Send(ReplyFrames::Acknowledge(3, 0, 1) + ReplyFrames::DoseCount(3, 100, 0));
    rig.Open("nodes");
    QAbstractItemModel* board = rig.Find<QTableView>("nodes_table")->model();
    QTRY_COMPARE(board->index(0, NodeBoard::ColumnState).data().toString(), QString::fromUtf8("▲ above alarm"));
    QCOMPARE(board->index(0, NodeBoard::ColumnAlarmLevel).data().toString(), QString("0.5000"));
}

// The second box opens on the first, without waiting for another frame,
// and both replies are in the records, in wire order, before either box
// is closed.
void TestReplies::repliesInOneSegmentOpenTheirBoxesAtOnceAndAreKeptInOrder()
{
    WindowRig rig;
    ModalWatcher watcher;
    watcher.SetHoldMs(1000);
    QVERIFY(rig.Connect());
    RecordStore store;
    QTRY_VERIFY(store.OpenExisting(RecordStore::DefaultPath())); // once the writer has made it
    int mostOpen = 0;
    QStringList keptWhileOpen;
    QTimer look;
    connect(&look, &QTimer::timeout, this, [&] {
        int open = 0;
        for (QWidget* widget : QApplication::topLevelWidgets())
            open += qobject_cast<QMessageBox*>(widget) && widget->isVisible();
        if (open == 2) { // the last look while both are open
            keptWhileOpen.clear();
            for (const RecordStore::Row& row : store.Rows("acknowledgement"))
                keptWhileOpen << QString::number(row.Content()["reply"].toInt());
        }
        mostOpen = qMax(mostOpen, open);
    });
    look.start(5);
    const qint64 sent = QDateTime::currentMSecsSinceEpoch();
    rig.controller.Send(ReplyFrames::Acknowledge(2, 0, 7) + ReplyFrames::Acknowledge(3, 0, 6));
    QTRY_VERIFY(watcher.boxes.size() >= 2);
    QTRY_VERIFY(!QApplication::activeModalWidget());
    QCOMPARE(mostOpen, 2);
    QCOMPARE(keptWhileOpen, (QStringList { "7", "6" }));
    const QVector<RecordStore::Row> rows = store.Rows("acknowledgement");
    QCOMPARE(rows.size(), 2);
    for (const RecordStore::Row& row : rows) // stamped on arrival, not when a box closed
        QVERIFY2(QDateTime::fromString(row.time, Qt::ISODateWithMs).toMSecsSinceEpoch() - sent < 900, qPrintable(row.time));
}

QTEST_MAIN(TestReplies)
#include "tst_replies.moc"
