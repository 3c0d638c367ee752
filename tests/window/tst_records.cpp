#include "ModalWatcher.h"
#include "RecordStore.h"
#include "ReplyFrames.h"
#include "WindowRig.h"

#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

namespace {

// The console's command line in the rig's folders, without a display.
QProcess::ExitStatus RunConsole(const QStringList& arguments, int* pCode, QString* pOutput)
{
    QProcess console;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        environment.remove(QLatin1String(name));
    console.setProcessEnvironment(environment);
    console.setProcessChannelMode(QProcess::MergedChannels);
    console.start(QStringLiteral(CONSOLE), arguments);
    console.waitForFinished(30000);
    *pCode = console.exitCode();
    *pOutput = QString::fromUtf8(console.readAll()).trimmed();
    return console.exitStatus();
}

struct Calibration : WindowRig {
    Calibration()
    {
        Find<QCheckBox>("calibration_check_box")->setChecked(true);
        SetText("fixed_value_set", "0.09");
    }
    void Run(int count)
    {
        Readings(1, count, 20);
        Tick();
    }
    // The node is asked for its coefficients, and answers.
    bool AnswerGet(qint32 v1, qint32 v2, qint32 v3)
    {
        if (!QTest::qWaitFor([&] { return controller.Received().toHex().contains("ff0d010c"); }, 5000))
            return false;
        controller.TakeReceived();
        controller.Send(ReplyFrames::Coefficients(1, v1, v2, v3));
        return true;
    }
    double Field(const char* name) const { return Find<QDoubleSpinBox>(name)->value(); }
};

} // namespace

class TestRecords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("dosegate-console")); }
    void calibrationIsKeptAndVerifies_data();
    void calibrationIsKeptAndVerifies();
    void changedOrRemovedRowsAreNamed_data();
    void changedOrRemovedRowsAreNamed();
    void killedRightAfterFinishKeepsTheRecord();
    void unwritableStoreLeavesCalibrationWorking();
};

void TestRecords::calibrationIsKeptAndVerifies_data()
{
    QTest::addColumn<qint32>("readBack");
    QTest::addColumn<QStringList>("warnings");
    QTest::newRow("read back as written") << 8929 << QStringList();
    QTest::newRow("read back otherwise")
        << 9000 << QStringList { "Coefficients not taken|Node 1 holds 0.9000, 1.0000, 1.0000 after 0.8929, 1.0000, "
                                 "1.0000 were written." };
}

// Get, a run as found, Calc, Set and its read-back, a run as left, Finish.
void TestRecords::calibrationIsKeptAndVerifies()
{
    QFETCH(qint32, readBack);
    QFETCH(QStringList, warnings);
    Calibration rig;
    ModalWatcher boxes(QMessageBox::Ok);
    QVERIFY(rig.Connect());
    QVERIFY(!rig.Find<QWidget>("as_found_button")->isEnabled());
    rig.Run(18); // 0.1008, 12 % high
    rig.Find<QDoubleSpinBox>("doubleSpinBox_lastCoe_1")->setValue(3); // proves the read-back comes
    rig.Click("as_found_button");
    QVERIFY(rig.AnswerGet(10000, 10000, 10000)); // read back before anything changes
    QCOMPARE(rig.Field("doubleSpinBox_tvalue_1"), 0.09);
    QCOMPARE(rig.Field("doubleSpinBox_mvalue_1"), 0.1008);
    QTRY_COMPARE(rig.Field("doubleSpinBox_lastCoe_1"), 1.0);
    rig.Click("m_pCalcCoefficientBtn");
    QCOMPARE(rig.Field("doubleSpinBox_calib_1"), 0.8929);
    rig.Click("m_pSetCalibrationBtn");
    QVERIFY(rig.controller.WaitForBytes(20));
    rig.controller.TakeReceived();
    rig.controller.Send(ReplyFrames::Acknowledge(1, 0, 10));
    QVERIFY(rig.AnswerGet(readBack, 10000, 10000)); // once the success box is closed
    QTRY_COMPARE(rig.Field("doubleSpinBox_lastCoe_1"), readBack / 10000.0);
    QTRY_COMPARE(boxes.boxes.size(), 1 + warnings.size());
    QCOMPARE(boxes.boxes.mid(1), warnings);
    rig.Run(16); // a fresh window of 0.0896
    rig.Click("as_left_button");
    rig.Click("finish_calibration_button");
    QVERIFY(!rig.Find<QWidget>("finish_calibration_button")->isEnabled());

    int code = 0;
    QString output;
    QCOMPARE(RunConsole({ "--verify-records" }, &code, &output), QProcess::NormalExit);
    QCOMPARE(output, QString("%1 records, chain intact").arg(7 + warnings.size()));
    QCOMPARE(code, 0);
    const QString csv = rig.dataHome.folder.filePath("records.csv");
    QCOMPARE(RunConsole({ "--export-records", csv }, &code, &output), QProcess::NormalExit);
    QCOMPARE(code, 0);
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.takeFirst(), QString("seq,time,kind,node,content,previous_hash,hash"));
    QStringList kinds;
    for (const QString& line : lines)
        kinds << line.section(',', 2, 2);
    QStringList expected { "command", "coefficients read", "command", "acknowledgement", "command",
                           "coefficients read" };
    expected << (warnings.isEmpty() ? QStringList() : QStringList { "warning" }) << "calibration";
    QCOMPARE(kinds, expected);
    QVERIFY(lines[2].contains("set coefficients") && lines[2].contains("[0.8929,1,1]"));

    RecordStore store;
    QVERIFY(store.OpenExisting(RecordStore::DefaultPath()));
    const QJsonObject record = store.Rows("calibration").constLast().Content();
    QCOMPARE(record["asFoundCoefficients"].toArray(), (QJsonArray { 1, 1, 1 }));
    const QJsonArray points = record["points"].toArray();
    QCOMPARE(points.size(), 2);
    QCOMPARE(points[0]["stage"].toString(), QString("as found"));
    QCOMPARE(QString::number(points[0]["mean"].toDouble(), 'f', 4), QString("0.1008"));
    QCOMPARE(points[0]["firstLine"].toInt(), 2);
    QCOMPARE(points[0]["lastLine"].toInt(), 21);
    QCOMPARE(points[1]["stage"].toString(), QString("as left"));
    QCOMPARE(points[1]["lastLine"].toInt(), 41);
    const QJsonObject adjustment = record["adjustments"].toArray().at(0).toObject();
    QCOMPARE(adjustment["written"].toArray(), (QJsonArray { 0.8929, 1, 1 }));
    QCOMPARE(adjustment["readBackMatches"].toBool(), warnings.isEmpty());
    QCOMPARE(record["warnings"].toArray().size(), warnings.size());
}

void TestRecords::changedOrRemovedRowsAreNamed_data()
{
    QTest::addColumn<QString>("tampering");
    QTest::addColumn<QString>("verdict");
    QTest::newRow("a value changed") << "UPDATE records SET content = replace(content, '2', '3') WHERE seq = 2"
                                     << "row 2 was changed: its content does not match its hash";
    QTest::newRow("a time changed") << "UPDATE records SET time = '2020-01-01T00:00:00.000Z' WHERE seq = 1"
                                    << "row 1 was changed: its content does not match its hash";
    QTest::newRow("a row given another's hash")
        << "UPDATE records SET hash = (SELECT hash FROM records WHERE seq = 1) WHERE seq = 2"
        << "row 2 was changed: its content does not match its hash";
    QTest::newRow("a row deleted") << "DELETE FROM records WHERE seq = 2" << "row 2 is missing";
    QTest::newRow("the first row deleted") << "DELETE FROM records WHERE seq = 1" << "row 1 is missing";
    QTest::newRow("the newest row deleted") << "DELETE FROM records WHERE seq = 3"
                                            << "rows 3 to 3 are missing from the end";
}

// Whoever goes round the triggers, the chain shows it.
void TestRecords::changedOrRemovedRowsAreNamed()
{
    QFETCH(QString, tampering);
    QFETCH(QString, verdict);
    WindowRig::DataHome home;
    {
        RecordStore store;
        QVERIFY(store.Open(RecordStore::DefaultPath()));
        for (int value : { 1, 2, 3 })
            QVERIFY(store.Append("event", value, { { "value", value } }) == value);
        QVERIFY(store.Verify().Intact());
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "tampering");
        db.setDatabaseName(RecordStore::DefaultPath());
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(!query.exec("DELETE FROM records WHERE seq = 3")); // the triggers refuse
        QVERIFY(query.exec("DROP TRIGGER records_kept") && query.exec("DROP TRIGGER records_never_deleted"));
        QVERIFY(query.exec(tampering));
    }
    QSqlDatabase::removeDatabase("tampering");
    int code = 0;
    QString output;
    QCOMPARE(RunConsole({ "--verify-records" }, &code, &output), QProcess::NormalExit);
    QCOMPARE(output, verdict);
    QCOMPARE(code, 1);
}

void TestRecords::killedRightAfterFinishKeepsTheRecord()
{
    WindowRig::DataHome home;
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    probe.setProcessEnvironment(environment);
    probe.start(QStringLiteral(RECORDS_PROBE), QStringList());
    QVERIFY(probe.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return probe.readAllStandardOutput().contains("finished"); }, 30000));
    probe.kill();
    QVERIFY(probe.waitForFinished());
    QCOMPARE(probe.exitStatus(), QProcess::CrashExit);

    RecordStore store;
    QVERIFY(store.OpenExisting(RecordStore::DefaultPath()));
    QVERIFY(store.Verify().Intact());
    const QVector<RecordStore::Row> calibrations = store.Rows("calibration");
    QCOMPARE(calibrations.size(), 1);
    QCOMPARE(calibrations[0].Content()["points"].toArray().size(), 1);
}

// The device work goes on; the tab says why nothing is kept, and so does
// Finish.
void TestRecords::unwritableStoreLeavesCalibrationWorking()
{
    WindowRig::DataHome::prepare = [](const QString&) {
        QDir().mkpath(RecordStore::DefaultPath()); // a folder where the store would be
    };
    Calibration rig;
    WindowRig::DataHome::prepare = nullptr;
    ModalWatcher boxes(QMessageBox::Ok);
    QVERIFY(rig.Text("records_state").startsWith("Records are not kept: "));
    QVERIFY(rig.Connect());
    rig.Run(18);
    rig.Click("as_found_button");
    QVERIFY(rig.AnswerGet(10000, 10000, 10000));
    rig.Click("m_pCalcCoefficientBtn");
    QCOMPARE(rig.Field("doubleSpinBox_calib_1"), 0.8929);
    rig.Click("finish_calibration_button");
    QTRY_COMPARE(boxes.boxes.size(), 1);
    QVERIFY2(boxes.boxes[0].startsWith("Calibration not recorded|The calibration of node 1 could not be recorded: "),
             qPrintable(boxes.boxes[0]));
    QVERIFY(rig.Find<QWidget>("finish_calibration_button")->isEnabled()); // kept open for another try
}

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
