#include "CalibrationBook.h"
#include "CalibrationProcedure.h"
#include "ControllerServer.h"
#include "DoseModel.h"
#include "MissingTool.h"
#include "RecordStore.h"
#include "NodeBank.h"
#include "NodeSchedule.h"
#include "ProcedurePage.h"
#include "SimLog.h"
#include "ModalWatcher.h"
#include "SaveDialogAnswer.h"
#include "SimProcess.h"
#include "StdoutCapture.h"
#include "WindowRig.h"
#include "WorkbookReader.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSpinBox>
#include <QTableWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

using Setup = std::function<void(WindowRig&)>;
Q_DECLARE_METATYPE(Setup)

namespace {

constexpr double kTrueRate = 10.0;   // μSv/h: enough counts for a steady mean
constexpr double kSensitivity = 1.2; // the simulated nodes read 20 % high

QString Blanks(int count)
{
    return QString(count, QLatin1Char(' '));
}

int ThreadsOfThisProcess()
{
    return QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size();
}

// The console beside a simulator with three nodes.
struct Bench : WindowRig {
    Bench()
        : sim({ "--nodes", "1-3", "--dose-rate", QString::number(kTrueRate), "--seed", "11" })
    {
    }
    bool Up() { return sim.Start() && ConnectTo(sim.Port()); }

    QTableWidget* Table() const { return Find<QTableWidget>("tableWidget_for_potentiometer"); }
    double Field(const char* name) const { return Find<QDoubleSpinBox>(name)->value(); }

    // One dose request, as the run's timer would send it, and table ticks
    // until its reading has become a row.
    bool ReadOnce()
    {
        const int rows = Table()->rowCount();
        QMetaObject::invokeMethod(&window, "SendTimeout");
        return QTest::qWaitFor([&] {
            Tick();
            return Table()->rowCount() > rows;
        }, 5000);
    }
    bool Run(int readings)
    {
        auto* start = Find<QCheckBox>("calibration_check_box");
        if (!start->isChecked())
            start->click();
        for (int i = 0; i < readings; ++i) {
            if (!ReadOnce())
                return false;
        }
        start->click(); // stop: the statistics are refreshed once more
        return true;
    }

    SimProcess sim;
};

// The simulator's controller in this process, its clock the test's: the
// dose rate at node 1 steps through `rates`, one field after another, as
// the test moves the source.
struct SourceField {
    SourceField(double sensitivity, const QList<double>& rates)
        : model(rates.value(0), sensitivity, 5)
        , bank({ 1 }, &model, &log)
    {
        for (int i = 0; i < rates.size(); ++i) {
            QString error;
            schedule.AddStep(QStringLiteral("1:%1:%2").arg(i).arg(rates[i]), error);
        }
        bank.SetSchedule(&schedule, [this] { return index * 1000 + 500; });
        ControllerServer::Settings settings;
        settings.port = 0;
        server.reset(new ControllerServer(settings, &bank, &log));
        QString error;
        listening = server->Listen(error);
    }

    SimLog log { true };
    DoseModel model;
    NodeBank bank;
    NodeSchedule schedule;
    std::unique_ptr<ControllerServer> server;
    bool listening = false;
    int index = 0;
};

// A console beside it.
struct FieldBench : WindowRig {
    explicit FieldBench(SourceField& theField)
        : field(theField)
    {
    }
    bool Up() { return field.listening && ConnectTo(field.server->Port()); }
    // A click on the procedure page, counted.
    void Press(const char* button)
    {
        QVERIFY2(Find<QPushButton>(button)->isEnabled(), button);
        Click(button);
        ++clicks;
    }
    // Readings as the run's timer would ask for them, until the point's
    // run ends. The window's own timers stay still: the readings are the
    // test's, one at a time.
    bool Measure(int atMost = 100)
    {
        for (QTimer* timer : window.findChildren<QTimer*>()) {
            if (timer->interval() >= 500)
                timer->stop();
        }
        const CalibrationProcedure* procedure = Page()->Procedure();
        for (int i = 0; i < atMost && procedure->Run() && !procedure->Run()->Finished(); ++i) {
            const int taken = procedure->Run()->Readings();
            QMetaObject::invokeMethod(&window, "SendTimeout");
            if (!QTest::qWaitFor([&] { return procedure->Run()->Readings() > taken; }, 5000))
                return false;
            Tick();
        }
        return procedure->Run() && procedure->Run()->Finished();
    }
    ProcedurePage* Page() const { return Find<ProcedurePage>("procedure_page"); }
    QTableWidget* Table() const { return Find<QTableWidget>("tableWidget_for_potentiometer"); }
    double Field(const char* name) const { return Find<QDoubleSpinBox>(name)->value(); }

    SourceField& field;
    int clicks = 0;
};

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void everyCommandIsConfirmed_data();
    void everyCommandIsConfirmed();
    void slaveAddressChangeIsSilent();
    void fullCalibrationAndItsReport();
    void controllerRestartResumesReadings();
    void procedureOverThreeRanges();
    void procedureSkipsTheAdjustmentWhenAllPass();
    void procedureKilledAfterSetKeepsTheCoefficientsFound();

private:
    static void EnterItemAndReference(FieldBench& bench, const QList<double>& rates, double tolerance);
};

void TestEndToEnd::EnterItemAndReference(FieldBench& bench, const QList<double>& rates, double tolerance)
{
    bench.SetText("procedure_serial", "SN-2026-0001");
    bench.SetText("procedure_manufacturer", "Maker");
    bench.SetText("procedure_model", "DR-7");
    bench.SetText("procedure_customer", "Customer");
    bench.Press("procedure_next");
    bench.Find<QSpinBox>("procedure_points")->setValue(rates.size());
    bench.Find<QDoubleSpinBox>("procedure_tolerance")->setValue(tolerance);
    for (int i = 0; i < rates.size(); ++i)
        bench.Find<QDoubleSpinBox>(qPrintable(QString("procedure_true_value_%1").arg(i + 1)))->setValue(rates[i]);
    bench.Press("procedure_next");
    bench.clicks = 0; // counted from here: the item and the reference are entered
}

// A node 20 % high at 10, 500 and 5000 μSv/h, a tolerance of 20 %: as
// found each point stops once U reaches a third of the tolerance, its
// verdict open; Calc from the points found, Set, the read-back compared by
// itself, as left passes, and the record is written.
void TestEndToEnd::procedureOverThreeRanges()
{
    const QList<double> rates { 10, 500, 5000, 10, 500, 5000 };
    SourceField field(1.2, rates);
    FieldBench bench(field);
    ModalWatcher watcher;
    QVERIFY(bench.Up());
    CalibrationProcedure* procedure = bench.Page()->Procedure();
    EnterItemAndReference(bench, rates.mid(0, 3), 20);
    bench.Press("procedure_next"); // the background, 0
    QCOMPARE(procedure->CurrentStep(), CalibrationProcedure::AsFound);
    for (int point = 0; point < 3; ++point) {
        if (point > 0) {
            field.index = point;
            bench.Press("procedure_next");
        }
        QVERIFY(bench.Measure());
        QCOMPARE(procedure->AsFoundPoints().value(point).status, PointRun::TargetReached);
        QCOMPARE(procedure->AsFoundPoints().value(point).figures.verdict, PointRun::Inconclusive);
        QCOMPARE(bench.Table()->rowCount(), procedure->Run()->Readings());
        QCOMPARE(bench.Table()->item(2, 2)->foreground().color(), QColor(Qt::gray));
        QVERIFY(bench.Table()->item(3, 2)->foreground().color() != QColor(Qt::gray));
    }
    QTRY_COMPARE(procedure->AsFoundCoefficients(), (QJsonArray { 1.0, 1.0, 1.0 }));
    bench.Press("procedure_next");
    QCOMPARE(procedure->CurrentStep(), CalibrationProcedure::Adjust);
    const double coefficient = bench.Field("doubleSpinBox_calib_2"); // Calc ran on entering the step
    QVERIFY2(qAbs(coefficient - 1 / 1.2) < 0.01, qPrintable(QString::number(coefficient)));
    bench.Press("procedure_set");
    QTRY_COMPARE(watcher.boxes.size(), 1); // the node's confirmation, answered
    ++bench.clicks;
    QTRY_VERIFY(procedure->StepDone()); // the read-back matched, unasked
    QCOMPARE(procedure->WrittenCoefficients().at(1).toDouble(), coefficient);
    bench.Press("procedure_next");
    QCOMPARE(procedure->CurrentStep(), CalibrationProcedure::AsLeft);
    for (int point = 0; point < 3; ++point) {
        if (point > 0)
            bench.Press("procedure_next");
        field.index = 3 + point;
        QVERIFY(bench.Measure());
        QCOMPARE(procedure->AsLeftPoints().value(point).figures.verdict, PointRun::Pass);
    }
    bench.Press("procedure_next");
    QCOMPARE(procedure->CurrentStep(), CalibrationProcedure::Finish);
    bench.Press("procedure_finish");
    QTRY_VERIFY(procedure->StepDone()); // the book's record is written
    bench.Press("procedure_next");
    QCOMPARE(procedure->CurrentStep(), CalibrationProcedure::Item);
    QCOMPARE(procedure->ItemIdentity().node, 2);
    // 8 for a node of one point; each further point is one Next as found
    // and one as left, where the source is moved.
    QCOMPARE(bench.clicks, 8 + 2 * 2);
    QCOMPARE(watcher.boxes.size(), 1);
}

// Every point passes as found: the adjustment is skipped, the node left as
// it was, in five clicks.
void TestEndToEnd::procedureSkipsTheAdjustmentWhenAllPass()
{
    SourceField field(1.0, { 10 });
    FieldBench bench(field);
    ModalWatcher watcher;
    QVERIFY(bench.Up());
    CalibrationProcedure* procedure = bench.Page()->Procedure();
    EnterItemAndReference(bench, { 10 }, 10);
    bench.Press("procedure_next");
    QVERIFY(bench.Measure());
    QCOMPARE(procedure->AsFoundPoints().value(0).status, PointRun::Decided);
    bench.Press("procedure_next");
    QVERIFY(procedure->AllAsFoundPass());
    bench.Press("procedure_skip_adjust");
    QCOMPARE(procedure->CurrentStep(), CalibrationProcedure::Finish);
    bench.Press("procedure_finish");
    QTRY_VERIFY(procedure->StepDone());
    bench.Press("procedure_next");
    QCOMPARE(bench.clicks, 5);
    QVERIFY(watcher.boxes.isEmpty());
    QVERIFY(procedure->WrittenCoefficients().isEmpty());
    QCOMPARE(field.bank.NodeById(1)->Coefficient(0), 1.0);
    // The item as typed on the procedure's first step reaches the record.
    RecordStore store;
    QVERIFY(store.OpenExisting(RecordStore::DefaultPath()));
    QTRY_COMPARE(store.Rows("calibration").size(), 1);
    const QJsonObject record = store.Rows("calibration")[0].Content();
    QCOMPARE(record["serial"].toString(), QString("SN-2026-0001"));
    QCOMPARE(record["manufacturer"].toString(), QString("Maker"));
    QCOMPARE(record["model"].toString(), QString("DR-7"));
    QCOMPARE(record["customer"].toString(), QString("Customer"));
}

void TestEndToEnd::everyCommandIsConfirmed_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("box");
    const Setup none = [](WindowRig&) {};
    const QString idText = "Device completes node ID setting: The device ID has been successfully modified!";

    QTest::newRow("threshold") << none << "m_pPushButton_thr" << "Set threshold|" + idText + Blanks(32);
    QTest::newRow("switches") << none << "m_pPushButton_switch"
                              << "Set screen display and alarm switches|Set screen display and alarm switches!" + Blanks(11);
    QTest::newRow("detector") << none << "m_pPushButton_parameter"
                              << "Set detector parameters|Device completes detector parameter settings!" + Blanks(11);
    QTest::newRow("node id") << Setup([](WindowRig& r) { r.Find<QSpinBox>("m_pSpinBox_new_id")->setValue(5); })
                             << "m_pPushButton_changed_id" << "Modify nodes ID: Modify device ID|" + idText + Blanks(11);
    QTest::newRow("language") << none << "m_pPushButton_changed_lan"
                              << "set language|Device completes language settings!" + Blanks(11);
    QTest::newRow("unit") << Setup([](WindowRig& r) { r.Find<QComboBox>("m_pComboBox_unit")->setCurrentIndex(1); })
                          << "m_pPushButton_uint" << "Set Display Units|Device completes display unit settings!-Rad" + Blanks(11);
    QTest::newRow("precision") << none << "m_pPushButton_precision"
                               << "Setting Precision|Device completes accuracy setting!" + Blanks(11);
    QTest::newRow("alarm test on")
        << Setup([](WindowRig& r) { r.Find<QCheckBox>("m_pCheckBox_alarm")->setChecked(true); })
        << "m_pPushButton_changed_alarm" << "Alarm testing|The device is undergoing alarm testing" + Blanks(11);
    QTest::newRow("alarm test off") << none << "m_pPushButton_changed_alarm"
                                    << "Alarm testing|Turn off alarm testing" + Blanks(11);
    QTest::newRow("coefficients") << none << "m_pSetCalibrationBtn" << "SetCalibration|Calibration Coefficient Success!" + Blanks(11);
    QTest::newRow("potentiometer up") << none << "m_potentiometer_up" << "up|success ";
    QTest::newRow("potentiometer down") << none << "m_potentiometer_down" << "down|success ";
    QTest::newRow("potentiometer set") << none << "m_potentiometer_set" << "up|success ";
}

void TestEndToEnd::everyCommandIsConfirmed()
{
    QFETCH(Setup, setup);
    QFETCH(QString, button);
    QFETCH(QString, box);
    Bench bench;
    ModalWatcher watcher;
    QVERIFY(bench.Up());
    setup(bench);
    bench.Click(qPrintable(button));
    QTRY_COMPARE_WITH_TIMEOUT(watcher.boxes, QStringList { box }, 5000);
}

void TestEndToEnd::slaveAddressChangeIsSilent()
{
    Bench bench;
    ModalWatcher watcher;
    QVERIFY(bench.Up());
    bench.Find<QSpinBox>("m_pSpinBox_address")->setValue(1);
    bench.Find<QSpinBox>("m_pSpinBox_new_address")->setValue(42);
    bench.Click("m_pPushButton_address");
    QTRY_VERIFY(bench.sim.Output().contains("change slave address to 42"));
    bench.Click("m_pPushButton_changed_lan"); // a box for any reply to the change would show before this one
    QTRY_COMPARE_WITH_TIMEOUT(watcher.boxes.size(), 1, 5000);
    QVERIFY2(watcher.boxes[0].startsWith("set language|"), qPrintable(watcher.boxes[0]));
}

// Get, a run, Calc, Set, Get again, a second run, and the report of it.
void TestEndToEnd::fullCalibrationAndItsReport()
{
    Bench bench;
    ModalWatcher watcher;
    QVERIFY(bench.Up());
    bench.SetText("fixed_value_set", QString::number(kTrueRate));

    bench.Find<QDoubleSpinBox>("doubleSpinBox_lastCoe_1")->setValue(3.0); // proves Get overwrites it
    bench.Click("m_pGetCalibrationBtn");
    QTRY_COMPARE(bench.Field("doubleSpinBox_lastCoe_1"), 1.0);

    QVERIFY(bench.Run(25));
    const double measured = bench.Text("average_group_3").toDouble();
    const double error = bench.Text("relative_error_2").toDouble();
    QVERIFY2(qAbs(error - (kSensitivity - 1) * 100) < 3, qPrintable(bench.Text("relative_error_2")));

    bench.Find<QDoubleSpinBox>("doubleSpinBox_tvalue_1")->setValue(kTrueRate);
    bench.Find<QDoubleSpinBox>("doubleSpinBox_mvalue_1")->setValue(measured);
    bench.Click("m_pCalcCoefficientBtn");
    const double coefficient = bench.Field("doubleSpinBox_calib_1");
    QVERIFY(qAbs(coefficient - 1 / kSensitivity) < 0.03);
    bench.Click("m_pSetCalibrationBtn");
    QTRY_COMPARE(watcher.boxes.value(0), "SetCalibration|Calibration Coefficient Success!" + Blanks(11));
    bench.Click("m_pGetCalibrationBtn");
    QTRY_COMPARE(bench.Field("doubleSpinBox_lastCoe_1"), coefficient);

    auto* readingId = bench.Find<QSpinBox>("id_for_potentiometer");
    readingId->setValue(2);
    readingId->setValue(1); // a fresh table and window for the second run
    QVERIFY(bench.Run(25));
    const double mean = bench.Text("average_group_3").toDouble();
    QVERIFY2(mean >= bench.Text("average_group_5").toDouble() && mean <= bench.Text("average_group_4").toDouble(),
             qPrintable(bench.Text("average_group_3")));

    QTemporaryDir folder;
    const QString path = folder.filePath("calibration.xlsx");
    watcher.SetAnswer(QMessageBox::No);
    {
        SaveDialogAnswer dialog(path);
        bench.Click("export_report");
    }
    if (WorkbookReader::Python().isEmpty())
        SKIP_FOR_MISSING_TOOL(WorkbookReader::kMissing);
    QProcess reader;
    reader.start(WorkbookReader::Python(), { QStringLiteral(READ_REPORT), path });
    QVERIFY(reader.waitForFinished(30000));
    QCOMPARE(reader.exitCode(), 0);
    const QJsonObject cells = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    QCOMPARE(cells["A1"].toString(), QString("Serial number:  000000"));
    for (int row = 0; row < 25; ++row) {
        const QString sheetRow = QString::number(row + 3);
        QCOMPARE(cells["A" + sheetRow].toString(), bench.Table()->item(row, 1)->text());
        QCOMPARE(cells["B" + sheetRow].toString(), bench.Table()->item(row, 2)->text());
        QCOMPARE(cells["C" + sheetRow].toString(), QString::number(row + 1));
    }
    QCOMPARE(cells["A28"].toString(), "True value;" + QString::number(kTrueRate));
    QCOMPARE(cells["A29"].toString(), "Relative inherent error;" + bench.Text("relative_error_2") + "%");
    QCOMPARE(cells["A30"].toString(), "coefficient of variation;" + bench.Text("variable_conefficient") + "%");
    QCOMPARE(cells["A32"].toString(), QString("Background;0"));
    QCOMPARE(cells["A33"].toString(), "Standard deviation;" + bench.Text("standard_deviation"));
    QCOMPARE(cells["A34"].toString(), "Expanded uncertainty;" + bench.Text("expanded_uncertainty") + "% ("
                                          + bench.Text("coverage_factor") + ")");
    QCOMPARE(cells["A35"].toString(), QString("Decision rule;simple acceptance"));
    QCOMPARE(cells["A36"].toString(), QString("Verdict;PASS"));

    // A true value that is no number gives no figures, in the report too.
    bench.SetText("fixed_value_set", "nan");
    QVERIFY(bench.Run(1));
    QCOMPARE(bench.Text("calibration_verdict"), QString());
    const QString second = folder.filePath("no figures.xlsx");
    {
        SaveDialogAnswer dialog(second);
        bench.Click("export_report");
    }
    reader.start(WorkbookReader::Python(), { QStringLiteral(READ_REPORT), second });
    QVERIFY(reader.waitForFinished(30000));
    const QJsonObject again = QJsonDocument::fromJson(reader.readAllStandardOutput()).object();
    QCOMPARE(again["A29"].toString(), QString("True value;"));
    QCOMPARE(again["A30"].toString(), QString("Relative inherent error;"));
    QCOMPARE(again["A35"].toString(), QString("Expanded uncertainty;"));
    QCOMPARE(again["A37"].toString(), QString("Verdict;"));
}

void TestEndToEnd::controllerRestartResumesReadings()
{
    Bench bench;
    QVERIFY(bench.Up());
    QVERIFY(bench.Run(2));
    const int threads = ThreadsOfThisProcess();
    const quint16 port = bench.sim.Port();

    StdoutCapture log; // the console logs each new reason for failing once
    bench.sim.Kill();
    const bool refused = bench.WaitForState(QStringLiteral("connecting..."))
        && QTest::qWaitFor([&] { return log.Peek().contains("Connection refused"); }, 5000);
    QVERIFY2(refused, log.Finish().constData()); // at least one refused attempt
    QCOMPARE(bench.Text("m_pLabel_state"), QString("connecting..."));
    QVERIFY(bench.sim.Start(port));
    QVERIFY(bench.WaitForState(QStringLiteral("connected!"), 5000));

    QVERIFY(bench.Run(2));
    QCOMPARE(bench.Table()->rowCount(), 4);
    QCOMPARE(ThreadsOfThisProcess(), threads); // the decoder was not started again
}

// The console killed after Set, the node holding the new coefficients:
// the reopened procedure and the record keep those read before it, and
// the Set with its read-back.
void TestEndToEnd::procedureKilledAfterSetKeepsTheCoefficientsFound()
{
    SourceField field(1.2, { 10 });
    ModalWatcher watcher;
    auto first = std::make_unique<FieldBench>(field);
    QVERIFY(first->Up());
    CalibrationProcedure* procedure = first->Page()->Procedure();
    EnterItemAndReference(*first, { 10 }, 10);
    first->Press("procedure_next");
    QVERIFY(first->Measure());
    first->Press("procedure_next");
    first->Press("procedure_set");
    QTRY_VERIFY(procedure->StepDone());
    const QJsonArray written = procedure->WrittenCoefficients();
    QVERIFY(written.at(0).toDouble() < 0.9);
    first->dataHome.folder.setAutoRemove(false);
    const QString kept = first->dataHome.folder.path();
    first.reset(); // what was kept stays; the node keeps what was written

    WindowRig::DataHome::prepare = [&kept](const QString& folder) {
        QProcess::execute("cp", { "-a", kept + "/.", folder });
        QDir(kept).removeRecursively();
    };
    FieldBench second(field);
    WindowRig::DataHome::prepare = nullptr;
    QVERIFY(second.Up());
    procedure = second.Page()->Procedure();
    QTRY_COMPARE(procedure->CurrentStep(), CalibrationProcedure::Adjust);
    QCOMPARE(procedure->AsFoundCoefficients(), (QJsonArray { 1.0, 1.0, 1.0 }));
    QVERIFY(procedure->StepDone());
    second.Press("procedure_next");
    QVERIFY(second.Measure());
    second.Press("procedure_next");
    second.Press("procedure_finish");
    QTRY_VERIFY(procedure->StepDone());
    RecordStore store;
    QVERIFY(store.OpenExisting(RecordStore::DefaultPath()));
    const QVector<RecordStore::Row> records = store.Rows("calibration");
    QCOMPARE(records.size(), 1);
    const QJsonObject record = records[0].Content();
    QCOMPARE(record["asFoundCoefficients"].toArray(), (QJsonArray { 1.0, 1.0, 1.0 }));
    QCOMPARE(record["adjustments"].toArray().at(0).toObject()["written"].toArray(), written);
    QCOMPARE(record["adjustments"].toArray().at(0).toObject()["readBackMatches"].toBool(), true);
    QCOMPARE(record["points"].toArray().size(), 2);
}

QTEST_MAIN(TestEndToEnd)
#include "tst_endtoend.moc"
