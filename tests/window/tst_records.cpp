#include "CalibrationBook.h"
#include "CalibrationFigures.h"
#include "CalibrationRecord.h"
#include "CalibrationRegister.h"
#include "CalibrationSummary.h"
#include "CertificateWriter.h"
#include "ConsoleLanguage.h"
#include "ConsoleSession.h"
#include "LoopbackController.h"
#include "MissingTool.h"
#include "ModalWatcher.h"
#include "CommandEvents.h"
#include "FrameProtocol.h"
#include "LinkCommand.h"
#include "RecordOutbox.h"
#include "RecordStore.h"
#include "RecordVerifier.h"
#include "RecordWriter.h"
#include "SigningKey.h"
#include "TypedFigure.h"
#include "TestServer.h"
#include "ReplyFrames.h"
#include "UrlOpener.h"
#include "WindowRig.h"

#include <QCheckBox>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStandardPaths>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QUrl>
#include <QUuid>

#include <numeric>

#include <csignal>

#include <unistd.h>

namespace {

// The records thread's answers, on a machine busy with other work.
constexpr int kWriterMs = 20000;

// The console's command line in the rig's folders, without a display; as
// a user who may not write there when asked, root being able to write
// anywhere.
QProcess::ExitStatus RunConsole(const QStringList& arguments, int* pCode, QString* pOutput, bool asNobody = false)
{
    QProcess console;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" })
        environment.remove(QLatin1String(name));
    console.setProcessEnvironment(environment);
    console.setProcessChannelMode(QProcess::MergedChannels);
    if (asNobody && geteuid() == 0)
        console.start("setpriv", QStringList { "--reuid=65534", "--regid=65534", "--clear-groups", CONSOLE } + arguments);
    else
        console.start(QStringLiteral(CONSOLE), arguments);
    console.waitForFinished(30000);
    *pCode = console.exitCode();
    *pOutput = QString::fromUtf8(console.readAll()).trimmed();
    return console.exitStatus();
}

// A certificate's pages as pdftotext lays them out (or in the order they
// were drawn), with no-break spaces as spaces.
QStringList PdfPages(const QString& path, const char* mode = "-layout")
{
    QProcess reader;
    reader.start(QStringLiteral(PDFTOTEXT), { mode, path, "-" });
    if (!reader.waitForFinished(30000) || reader.exitCode() != 0)
        return {};
    QStringList pages = QString::fromUtf8(reader.readAllStandardOutput()).replace(QChar(0xA0), ' ').split('\f');
    pages.removeLast(); // what follows the last page's form feed
    return pages;
}

QJsonObject Point(const char* stage, double trueValue, double mean, double error, const char* verdict)
{
    const bool found = QByteArray(stage) == "as found";
    return { { "stage", stage }, { "range", 1 },
             { "time", found ? "2026-03-10T10:15:00.000+01:00" : "2026-03-10T11:40:00.000+01:00" },
             { "trueValue", trueValue }, { "background", 0.001 }, { "referenceUncertainty", 3.5 }, { "n", 20 },
             { "mean", mean }, { "standardDeviation", 0.0124 }, { "error", error }, { "expandedUncertainty", 9.87 },
             { "coverageFactor", 2.14 }, { "tolerance", 10 }, { "rule", "simple acceptance" },
             { "verdict", verdict }, { "journal", "runs/a.csv" }, { "firstLine", 2 }, { "lastLine", 21 } };
}

// A calibration of node 7 at as many true values as asked: 0.09, then
// 0.09 more each.
QJsonObject FixedCalibration(int trueValues)
{
    QJsonArray points;
    for (const char* stage : { "as found", "as left" }) {
        for (int i = 1; i <= trueValues; ++i) {
            const bool found = QByteArray(stage) == "as found";
            points.append(Point(stage, 0.09 * i, 0.09 * i * (found ? 1.12 : 1.0056), found ? 12 : 0.5,
                                found ? "FAIL" : "PASS"));
        }
    }
    return { { "node", 7 }, { "serial", "SN-0042" }, { "opened", "2026-03-10T10:00:00.000+01:00" },
             { "finished", "2026-03-11T09:00:00.000+01:00" }, { "console", "1.3.4.1" },
             { "asFoundCoefficients", QJsonArray { 1, 1, 1 } }, { "points", points },
             { "adjustments", QJsonArray { QJsonObject { { "time", "2026-03-10T11:00:00.000+01:00" },
                                                         { "written", QJsonArray { 0.8929, 1, 1 } },
                                                         { "acknowledged", true },
                                                         { "readBack", QJsonArray { 0.8929, 1, 1 } },
                                                         { "readBackMatches", true } } } },
             { "warnings", QJsonArray() }, { "operator", "A. Tester <QA> & Co" },
             { "reference", QJsonObject { { "source", "Cs-137 field, 2 m" }, { "certificate", "REF-2025-117" },
                                          { "expandedUncertainty", "3.5" } } },
             { "conditions", QJsonObject { { "temperature", "21.5" }, { "pressure", "101.3" }, { "humidity", "45" } } },
             { "laboratory", QJsonObject { { "name", "Radiation Metrology Laboratory" },
                                           { "address", "12 Example Road, Springfield" } } },
             { "detectorType", "DT-C" } };
}

// The as-left point as this console keeps it now: figures as decimal text
// with the budget of u(e) and the remarks raised with it.
QJsonObject WithBudget(QJsonObject record)
{
    QJsonArray points = record["points"].toArray();
    QJsonObject last = points.last().toObject();
    last["mean"] = "0.09050";
    last["standardUncertainty"] = "2.542";
    last["degreesOfFreedom"] = "132";
    last["factorExpandedUncertainty"] = "5.101";
    last["budget"] = QJsonArray {
        QJsonObject { { "component", "reference field" }, { "distribution", "normal" }, { "u", "1.7500" },
                      { "unit", "%" }, { "contribution", "1.7598" }, { "degreesOfFreedom", "inf" } },
        QJsonObject { { "component", "repeatability" }, { "distribution", "" }, { "u", "0.002772" },
                      { "unit", "μSv/h" }, { "contribution", "3.0800" }, { "degreesOfFreedom", "19" } },
        QJsonObject { { "component", "source distance" }, { "distribution", "rectangular" }, { "u", "1.1547" },
                      { "unit", "%" }, { "contribution", "1.1612" }, { "degreesOfFreedom", "inf" } } };
    last["remarks"] = QJsonArray { "readings scatter 2.3 times what counting allows" };
    points.replace(points.size() - 1, last);
    record["points"] = points;
    return record;
}

// A calibration of a node whose last measurement was at the time given.
QJsonObject CalibratedAt(const QString& time)
{
    QJsonObject record = FixedCalibration(1);
    QJsonArray points = record["points"].toArray();
    QJsonObject last = points.last().toObject();
    last["time"] = time;
    points.replace(points.size() - 1, last);
    record["points"] = points;
    return record;
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
    void exportWritesOverNothing_data();
    void exportWritesOverNothing();
    void lostTailHoldsNewRowsUntilTheLossIsAccepted();
    void finishTakesTheKeptFieldsBeforeTheTabIsShown();
    void verifyDuringAppendsOfFourProcessesFindsNoLoss_data();
    void verifyDuringAppendsOfFourProcessesFindsNoLoss();
    void serverRefusesEditsAndKeepsNothingOfAKilledWriter();
    void copiedRecordsKeepTheirProvenanceOnTheServer();
    void rowsWaitWhileTheServerIsAway();
    void rowHeldByTheServerIsTakenAsWritten();
    void idleWriterClosesWithItsCheckpointAfterARestart();
    void storeInAReadOnlyFolderVerifiesAndExports();
    void fullCheckTellsItsProgress();
    void rowsKeepVerifyingByTheirOwnEncoding();
    void killedWithABoxOpenKeepsTheReply();
    void registerExportReadsBackInPython();
    void killedRightAfterFinishKeepsTheRecord();
    void rowsAreCommittedInTheOrderOfTheirEvents();
    void storeHeldByAnotherConsoleLeavesTheWindowWorking();
    void unwritableStoreLeavesCalibrationWorking();
    void certificateHoldsEveryField_data();
    void certificateHoldsEveryField();
    void certificateNumbersEveryPage_data();
    void certificateNumbersEveryPage();
    void certificateIsIssuedAgainOnlyFromAnIntactChain_data();
    void certificateIsIssuedAgainOnlyFromAnIntactChain();
    void finishedRecordNamesTheAcknowledgedDetectorType_data();
    void finishedRecordNamesTheAcknowledgedDetectorType();
    void registerStateAroundTheDueDate_data();
    void registerStateAroundTheDueDate();
    void registerListsOverdueNodesFirst();
    void registerShowsAFailedNodeAsUnfit();
    void procedureAsksAboutASerialTheRegisterHolds();
    void bookWritesTheBytesItAlwaysWrote();
    void recordReadsEveryShapeAndNamesTheMalformed_data();
    void recordReadsEveryShapeAndNamesTheMalformed();
    void calibrationWithoutSerialOrPointsIsStored();
};

void TestRecords::calibrationIsKeptAndVerifies_data()
{
    QTest::addColumn<qint32>("readBack");
    QTest::addColumn<QStringList>("warnings"); // as the record keeps them
    QTest::addColumn<bool>("chinese");
    QTest::addColumn<bool>("server");
    const QStringList notTaken { "Coefficients not taken|Node 1 holds 0.9000, 1.0000, 1.0000 after 0.8929, 1.0000, "
                                 "1.0000 were written." };
    QTest::newRow("read back as written") << 8929 << QStringList() << false << false;
    QTest::newRow("read back otherwise") << 9000 << notTaken << false << false;
    QTest::newRow("read back otherwise, in Chinese") << 9000 << notTaken << true << false;
    QTest::newRow("read back otherwise, on a lab's server") << 9000 << notTaken << false << true;
}

// Get, a run as found, Calc, Set and its read-back, a run as left, Finish.
void TestRecords::calibrationIsKeptAndVerifies()
{
    QFETCH(qint32, readBack);
    QFETCH(QStringList, warnings);
    QFETCH(bool, chinese);
    QFETCH(bool, server);
    QStringList onServer; // what the command line is told
    if (server) {
        if (TestServer::Address().isEmpty())
            SKIP_FOR_MISSING_TOOL("no test server: DOSEGATE_TEST_SERVER is not set (scripts/pg-test-server)");
        QString why;
        onServer << "--records" << TestServer::FreshStore(&why);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        RecordStore::SetLocation(onServer[1]);
    }
    const auto fileAgain = qScopeGuard([] { RecordStore::SetLocation(QString()); });
    const ConsoleLanguage speaking(chinese ? ConsoleLanguage::kChinese : ConsoleLanguage::kEnglish);
    Calibration rig;
    // Where they will be, from the start, wherever the console was started.
    const QDir certificates(QFileInfo(RecordStore::DefaultPath()).dir().filePath("certificates"));
    QVERIFY2(rig.Text("certificate_state").endsWith(QDir::toNativeSeparators(certificates.path())),
             qPrintable(rig.Text("certificate_state")));
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
    if (chinese) // the operator reads it in Chinese; the record keeps it as written
        QVERIFY2(boxes.boxes[1].contains(QRegularExpression("^\\p{Han}.*\\|\\p{Han}")), qPrintable(boxes.boxes[1]));
    else
        QCOMPARE(boxes.boxes.mid(1), warnings);
    rig.Run(16); // a fresh window of 0.0896
    rig.Click("as_left_button");
    rig.Click("finish_calibration_button");
    QVERIFY(!rig.Find<QWidget>("finish_calibration_button")->isEnabled());
    // Its certificate is issued once the record is written.
    QTRY_COMPARE_WITH_TIMEOUT(certificates.entryList({ "*.pdf" }).size(), 1, kWriterMs);

    int code = 0;
    QString output;
    QCOMPARE(RunConsole(QStringList { "--verify-records" } + onServer, &code, &output), QProcess::NormalExit);
    QCOMPARE(output.section('\n', 0, 0), QString("%1 records, chain intact").arg(7 + warnings.size()));
    QCOMPARE(code, 0);
    if (server) { // the same rows where the records tab chose the server, without --records
        QCOMPARE(rig.window.findChild<ConsoleSession*>()->ChooseServer(onServer[1]), QString());
        QCOMPARE(RunConsole(QStringList { "--verify-records" }, &code, &output), QProcess::NormalExit);
        QCOMPARE(output.section('\n', 0, 0), QString("%1 records, chain intact").arg(7 + warnings.size()));
    }
    const QString csv = rig.dataHome.folder.filePath("records.csv");
    QCOMPARE(RunConsole(QStringList { "--export-records", csv } + onServer, &code, &output), QProcess::NormalExit);
    QCOMPARE(code, 0);
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.takeFirst(), QString("seq,time,kind,node,content,previous_hash,hash,encoding,signature"));
    QStringList kinds;
    for (const QString& line : lines)
        kinds << line.section(',', 2, 2);
    QStringList expected { "command", "coefficients read", "command", "acknowledgement", "command",
                           "coefficients read" };
    expected << (warnings.isEmpty() ? QStringList() : QStringList { "warning" }) << "calibration";
    QCOMPARE(kinds, expected);
    QVERIFY(lines[2].contains("set coefficients") && lines[2].contains("[0.8929,1,1]"));

    RecordStore store;
    QVERIFY(store.OpenExisting(RecordStore::Location()));
    const QJsonObject record = store.Rows("calibration").constLast().Content();
    QCOMPARE(record["asFoundCoefficients"].toArray(), (QJsonArray { 1, 1, 1 }));
    const QJsonArray points = record["points"].toArray();
    QCOMPARE(points.size(), 2);
    QCOMPARE(points[0]["stage"].toString(), QString("as found"));
    // Figures as decimal text a digit finer than shown, with the budget.
    QCOMPARE(points[0]["mean"].toString(), QString("0.10080"));
    QCOMPARE(points[0]["trueValue"].toString(), QString("0.09"));
    QStringList terms;
    for (const QJsonValue& term : points[0]["budget"].toArray())
        terms << term["component"].toString() + ' ' + term["degreesOfFreedom"].toString();
    QCOMPARE(terms, (QStringList { "reference field inf", "repeatability 19" }));
    QCOMPARE(points[0]["firstLine"].toInt(), 2);
    QCOMPARE(points[0]["lastLine"].toInt(), 21);
    QCOMPARE(points[1]["stage"].toString(), QString("as left"));
    QCOMPARE(points[1]["lastLine"].toInt(), 41);
    QCOMPARE(points[1]["verdict"].toString(), QString("PASS"));
    const QJsonObject adjustment = record["adjustments"].toArray().at(0).toObject();
    QCOMPARE(adjustment["written"].toArray(), (QJsonArray { 0.8929, 1, 1 }));
    QCOMPARE(adjustment["readBackMatches"].toBool(), warnings.isEmpty());
    QStringList kept;
    for (const QJsonValue& warning : record["warnings"].toArray())
        kept << warning["title"].toString() + '|' + warning["text"].toString();
    QCOMPARE(kept, warnings);

    // Finish issued the certificate; the register lists the node, and its
    // calibration shows the same certificate again.
    const QStringList issued = certificates.entryList({ "*.pdf" });
    QCOMPARE(issued.size(), 1);
    rig.Open("records");
    QAbstractItemModel* nodes = rig.Find<QTableView>("node_register")->model();
    QCOMPARE(nodes->rowCount(), 1);
    QCOMPARE(nodes->index(0, CalibrationRegister::ColumnNode).data().toInt(), 1);
    QCOMPARE(nodes->index(0, CalibrationRegister::ColumnVerdict).data().toString(),
             CalibrationFigures::VerdictText(CalibrationFigures::Pass));
    rig.Find<QTableView>("node_register")->setCurrentIndex(nodes->index(0, 0));
    QTableView* calibrations = rig.Find<QTableView>("node_calibrations");
    QCOMPARE(calibrations->model()->rowCount(), 1);
    calibrations->setCurrentIndex(calibrations->model()->index(0, 0));
    QFile first(certificates.filePath(issued[0]));
    QVERIFY(first.open(QIODevice::ReadOnly));
    const QByteArray issuedBytes = first.readAll();
    first.close();
    {
        UrlOpener opener;
        rig.Click("show_certificate_button"); // the file issued, not written again
        QCOMPARE(opener.opened, QList<QUrl> { QUrl::fromLocalFile(first.fileName()) });
        QVERIFY(first.open(QIODevice::ReadOnly));
        QCOMPARE(first.readAll(), issuedBytes);
        first.close();
        rig.Click("issue_again_button");
        const QString again = certificates.filePath(QFileInfo(first).completeBaseName() + "-2.pdf");
        QCOMPARE(opener.opened.value(1), QUrl::fromLocalFile(again));
        if (!QByteArray(PDFTOTEXT).isEmpty()) {
            const QString page = PdfPages(again).value(0);
            QVERIFY2(page.contains(QString("Issue 2, issued again on %1 from the same record;")
                                       .arg(QDate::currentDate().toString(Qt::ISODate))), qPrintable(page));
            QVERIFY(!PdfPages(first.fileName()).value(0).contains("issued again"));
        }
    }
    // Without a program for PDF files: a box names the file.
    rig.Click("show_certificate_button");
    QTRY_COMPARE(boxes.boxes.size(), 2 + warnings.size());
    const QString named = QDir::toNativeSeparators(first.fileName());
    QVERIFY2(boxes.boxes.last().endsWith(" " + named), qPrintable(boxes.boxes.last()));
    if (!chinese)
        QCOMPARE(boxes.boxes.last(), "Certificate|No program opens the certificate here. It is " + named);
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
    QCOMPARE(output.section('\n', 0, 0), verdict);
    QCOMPARE(code, 1);
}

void TestRecords::exportWritesOverNothing_data()
{
    QTest::addColumn<QString>("target"); // in the data folder; STORE is the store's folder
    QTest::addColumn<bool>("force");
    QTest::addColumn<QString>("refusal"); // empty: written
    QTest::newRow("a new file") << "new.csv" << false << "";
    QTest::newRow("a file that exists") << "old.csv" << false << "old.csv exists; --force writes over it";
    QTest::newRow("a file that exists, forced") << "old.csv" << true << "";
    QTest::newRow("the store") << "STORE/records.sqlite" << true << "records.sqlite is one of the record store's own files";
    QTest::newRow("the store's WAL") << "STORE/records.sqlite-wal" << true << "records.sqlite-wal is one of the record store's own files";
    QTest::newRow("the anchor") << "STORE/records.sqlite.anchor" << true << "records.sqlite.anchor is one of the record store's own files";
    QTest::newRow("the store by another name") << "STORE/../dosegate-console/./records.sqlite" << true << "records.sqlite is one of the record store's own files";
    QTest::newRow("a folder") << "STORE" << true << "dosegate-console is not a regular file";
    QTest::newRow("a device") << "/dev/null" << true << "/dev/null is not a regular file";
}

// Refused with exit 2 and nothing touched; the store verifies after.
void TestRecords::exportWritesOverNothing()
{
    QFETCH(QString, target);
    QFETCH(bool, force);
    QFETCH(QString, refusal);
    WindowRig::DataHome home;
    {
        RecordStore store;
        QVERIFY(store.Open(RecordStore::DefaultPath()));
        QCOMPARE(store.Append("event", 1, { { "value", 1 } }), 1);
    }
    const QDir folder(home.folder.path());
    QFile old(folder.filePath("old.csv"));
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("kept\n") == 5);
    old.close();
    target.replace("STORE", QFileInfo(RecordStore::DefaultPath()).absolutePath());
    const QString path = QDir::isAbsolutePath(target) ? target : folder.filePath(target);
    int code = 0;
    QString output;
    QCOMPARE(RunConsole(QStringList { "--export-records", path } + (force ? QStringList { "--force" } : QStringList()),
                        &code, &output), QProcess::NormalExit);
    if (refusal.isEmpty()) {
        QCOMPARE(output, QString("1 records written to %1").arg(path));
        QCOMPARE(code, 0);
    } else {
        QVERIFY2(output.startsWith("dosegate-console: will not write: ") && output.endsWith(refusal), qPrintable(output));
        QCOMPARE(code, 2);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("kept\n"));
    }
    QCOMPARE(RunConsole({ "--verify-records" }, &code, &output), QProcess::NormalExit);
    QCOMPARE(output.section('\n', 0, 0), QString("1 records, chain intact"));
}

// Rows cut off the end (a -wal lost after a crash) show until someone
// accepts the loss; what came meanwhile waits beside the store, and follows
// the acceptance in the order it came.
void TestRecords::lostTailHoldsNewRowsUntilTheLossIsAccepted()
{
    WindowRig::DataHome home;
    {
        RecordStore store;
        QVERIFY(store.Open(RecordStore::DefaultPath()));
        for (int value : { 1, 2, 3, 4, 5 })
            QCOMPARE(store.Append("event", value, { { "value", value } }), value);
    }
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "cutting");
        db.setDatabaseName(RecordStore::DefaultPath());
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("DROP TRIGGER records_never_deleted") && query.exec("DELETE FROM records WHERE seq > 3"));
    }
    QSqlDatabase::removeDatabase("cutting");
    const QString loss = "rows 4 to 5 are missing from the end";
    {
        RecordStore store;
        QVERIFY(store.Open(RecordStore::DefaultPath()));
        QCOMPARE(store.Loss(), loss);
        QCOMPARE(store.Append("event", 6, { { "value", 6 } }, 1700000000000), 0);
        QCOMPARE(store.Append("event", 7, { { "value", 7 } }), 0);
        QVERIFY2(store.Error().startsWith(loss + "; the row is held in "), qPrintable(store.Error()));
        QCOMPARE(store.Count(), 3);
        QCOMPARE(store.Verify().reason, loss); // the appends did not hide it
    }
    const QString from = QFileInfo(RecordStore::DefaultPath()).absolutePath();
    {
        WindowRig::DataHome copy; // the same store in a folder of the session's
        QDir().mkpath(copy.folder.filePath("dosegate-console"));
        for (const QString& name : QDir(from).entryList(QDir::Files))
            QFile::copy(from + '/' + name, copy.folder.filePath("dosegate-console/" + name));
        ConsoleSession session;
        QTRY_VERIFY2(session.RecordsState().contains(loss), qPrintable(session.RecordsState()));
    }
    qputenv("XDG_DATA_HOME", home.folder.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.folder.path().toLocal8Bit());
    int code = 0;
    QString output;
    QCOMPARE(RunConsole({ "--verify-records" }, &code, &output), QProcess::NormalExit);
    QVERIFY2(output.startsWith(loss + "\n2 rows are held in ") && output.endsWith("--accept-loss NAME"),
             qPrintable(output));
    QCOMPARE(code, 1);
    QCOMPARE(RunConsole({ "--accept-loss", "Q. Manager" }, &code, &output), QProcess::NormalExit);
    QCOMPARE(output, loss + ": accepted by Q. Manager; 2 held rows kept after it");
    QCOMPARE(code, 0);
    QCOMPARE(RunConsole({ "--verify-records" }, &code, &output), QProcess::NormalExit);
    QCOMPARE(output.section('\n', 0, 0), QString("6 records, chain intact"));
    QCOMPARE(RunConsole({ "--accept-loss", "Q. Manager" }, &code, &output), QProcess::NormalExit);
    QCOMPARE(code, 1); // nothing more to accept

    RecordStore store;
    QVERIFY(store.OpenExisting(RecordStore::DefaultPath()));
    const QVector<RecordStore::Row> rows = store.Rows(QString(), -1, 3);
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0].kind, QString("loss accepted"));
    QCOMPARE(rows[0].Content()["operator"].toString(), QString("Q. Manager"));
    QCOMPARE(rows[0].Content()["loss"].toString(), loss);
    QCOMPARE(rows[1].Content()["value"].toInt(), 6);
    QCOMPARE(rows[1].time, RecordStore::TimeText(1700000000000)); // when it happened, not when it was let in
    QCOMPARE(rows[2].Content()["value"].toInt(), 7);
    QVERIFY(!QFile::exists(RecordStore::HeldPath(RecordStore::DefaultPath())));
}

// The anchor is read before the rows: a check while others append never
// finds the anchor ahead of the rows it read. On a lab's server, the
// appends of every console make one chain, none lost.
void TestRecords::verifyDuringAppendsOfFourProcessesFindsNoLoss_data()
{
    QTest::addColumn<bool>("server");
    QTest::addColumn<int>("rows"); // of each process
    QTest::newRow("file") << false << 50;
    QTest::newRow("server") << true << 1000;
}

void TestRecords::verifyDuringAppendsOfFourProcessesFindsNoLoss()
{
    QFETCH(bool, server);
    QFETCH(int, rows);
    WindowRig::DataHome home;
    QString location = RecordStore::DefaultPath();
    if (server) {
        if (TestServer::Address().isEmpty())
            SKIP_FOR_MISSING_TOOL("no test server: DOSEGATE_TEST_SERVER is not set (scripts/pg-test-server)");
        QString why;
        location = TestServer::FreshStore(&why);
        QVERIFY2(why.isEmpty(), qPrintable(why));
    }
    {
        RecordStore store;
        QVERIFY2(store.Open(location), qPrintable(store.Error()));
    }
    QList<QProcess*> writers;
    for (int i = 0; i < 4; ++i) {
        writers << new QProcess(this);
        writers.last()->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        writers.last()->start(QStringLiteral(RECORDS_PROBE), { "append", QString::number(rows), location });
        QVERIFY(writers.last()->waitForStarted());
    }
    const auto writing = [&] {
        for (QProcess* writer : writers) {
            if (writer->state() != QProcess::NotRunning)
                return true;
        }
        return false;
    };
    RecordStore store;
    QVERIFY(store.OpenExisting(location));
    int checks = 0;
    qint64 firstSeen = -1;
    QStringList alarms;
    while (writing()) {
        const RecordStore::Check check = store.Verify();
        ++checks;
        if (firstSeen < 0 && check.rows > 0)
            firstSeen = check.rows;
        if (!check.Intact())
            alarms << check.reason;
        QCoreApplication::processEvents();
    }
    for (QProcess* writer : writers) {
        writer->waitForFinished(); // its output read to the end
        QCOMPARE(writer->exitStatus(), QProcess::NormalExit);
        QCOMPARE(writer->exitCode(), 0);
    }
    QVERIFY2(alarms.isEmpty(), qPrintable(alarms.join('\n')));
    QVERIFY2(checks >= 20 && firstSeen < 4 * rows, qPrintable(QString("%1 checks").arg(checks))); // they did overlap
    QCOMPARE(store.Verify().rows, 4 * rows);
    QVERIFY(store.Verify().Intact());
    // Each process's rows, all of them, in the order it appended them.
    QMap<int, QVector<int>> values;
    QVERIFY(store.Scan([&values](const RecordStore::Row& row) {
        values[row.node] << row.Content()["value"].toInt();
        return true;
    }));
    QCOMPARE(values.size(), 4);
    QVector<int> all(rows);
    std::iota(all.begin(), all.end(), 0);
    for (const QVector<int>& appended : values)
        QCOMPARE(appended, all);
    const QStringList left = QFileInfo(RecordStore::DefaultPath()).dir().entryList({ "*.anchor.*" }, QDir::Files);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(' ')));
}

// The consoles' role may only read and insert, whatever program it runs;
// a console killed in the middle of its rows leaves none of them, and the
// lock it held goes with it.
void TestRecords::serverRefusesEditsAndKeepsNothingOfAKilledWriter()
{
    if (TestServer::Address().isEmpty())
        SKIP_FOR_MISSING_TOOL("no test server: DOSEGATE_TEST_SERVER is not set (scripts/pg-test-server)");
    WindowRig::DataHome home;
    QString why;
    const QString location = TestServer::FreshStore(&why);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    RecordStore store;
    QVERIFY2(store.Open(location), qPrintable(store.Error()));
    QVERIFY(store.Append("event", 1, { { "value", 1 } }) == 1 && store.Append("event", 2, { { "value", 2 } }) == 2);
    QVERIFY(RecordServer::Connect(location, "editor").isEmpty());
    {
        QSqlQuery query(QSqlDatabase::database("editor"));
        for (const char* edit : { "UPDATE records SET content = '{}' WHERE seq = 1", "DELETE FROM records WHERE seq = 2",
                                  "TRUNCATE records", "UPDATE summary_nodes SET node = 9", "DELETE FROM summary_nodes" }) {
            QVERIFY2(!query.exec(edit), edit);
            QVERIFY2(query.lastError().text().contains("permission denied"), qPrintable(query.lastError().text()));
        }
    }
    QSqlDatabase::removeDatabase("editor");

    QProcess writer;
    writer.start(QStringLiteral(RECORDS_PROBE), { "--hold", location });
    QVERIFY(QTest::qWaitFor([&] { return writer.readAllStandardOutput().contains("holding"); }, 30000));
    ::kill(pid_t(writer.processId()), SIGKILL);
    QVERIFY(writer.waitForFinished());
    QCOMPARE(store.Append("event", 3, { { "value", 3 } }), 3);
    QCOMPARE(store.Count(), 3);
    QVERIFY(store.Rows("event", 1).size() == 1 && store.Verify().Intact());
}

// Each row copied anew, signed, holding the original's number, time and
// hash; a source whose chain is broken is not copied at all.
void TestRecords::copiedRecordsKeepTheirProvenanceOnTheServer()
{
    if (TestServer::Address().isEmpty())
        SKIP_FOR_MISSING_TOOL("no test server: DOSEGATE_TEST_SERVER is not set (scripts/pg-test-server)");
    WindowRig::DataHome home;
    QString why;
    const QString location = TestServer::FreshStore(&why);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    const QString file = RecordStore::DefaultPath();
    QVector<RecordStore::Row> originals;
    {
        RecordStore store;
        QVERIFY(store.Open(file));
        for (int i = 0; i < 3; ++i)
            QVERIFY(store.Append("event", i + 1, { { "value", i } }, 1700000000000 + i) > 0);
        originals = store.Rows();
    }
    int code = -1;
    QString output;
    QCOMPARE(RunConsole({ "--copy-records", file, location }, &code, &output), QProcess::NormalExit);
    QVERIFY2(code == 0 && output.contains("3 records copied"), qPrintable(output));
    RecordStore server;
    QVERIFY(server.OpenExisting(location));
    const QVector<RecordStore::Row> copies = server.Rows();
    QCOMPARE(copies.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QJsonObject provenance = copies[i].Content()["copied from"].toObject();
        QCOMPARE(provenance["row"].toInt(), originals[i].seq);
        QCOMPARE(provenance["time"].toString(), originals[i].time);
        QCOMPARE(provenance["hash"].toString().toLatin1(), originals[i].hash);
        QCOMPARE(copies[i].Content()["value"].toInt(), i);
        QVERIFY(!copies[i].signature.isEmpty());
    }
    QVERIFY(server.Verify().Intact());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "tampering");
        db.setDatabaseName(file);
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("DROP TRIGGER records_kept") && query.exec("UPDATE records SET content = '{}' WHERE seq = 2"));
    }
    QSqlDatabase::removeDatabase("tampering");
    QCOMPARE(RunConsole({ "--copy-records", file, location }, &code, &output), QProcess::NormalExit);
    QVERIFY2(code == 1 && output.contains("row 2 was changed"), qPrintable(output));
    QCOMPARE(server.Count(), 3);
}

// Rows handed over while the lab's server is away wait, in their order,
// and go once it answers again: none lost, none twice.
void TestRecords::rowsWaitWhileTheServerIsAway()
{
    if (TestServer::Address().isEmpty())
        SKIP_FOR_MISSING_TOOL("no test server: DOSEGATE_TEST_SERVER is not set (scripts/pg-test-server)");
    WindowRig::DataHome home;
    QString why;
    const QString location = TestServer::FreshStore(&why);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    const QString folder = QFileInfo(qEnvironmentVariable("DOSEGATE_TEST_SERVER_DATA")).path();
    bool away = false;
    const auto server = [&](const char* action) {
        away = qstrcmp(action, "pause") == 0;
        return QProcess::execute(QStringLiteral(PG_TEST_SERVER), { action, folder }) == 0;
    };
    const auto back = qScopeGuard([&] { // for the tests after this one, whatever failed
        if (away)
            server("resume");
    });
    RecordWriter writer;
    writer.Open(location);
    writer.Append("event", 1, { { "value", 0 } });
    QTRY_COMPARE_WITH_TIMEOUT(writer.Rows(), 1, kWriterMs);
    QVERIFY(server("pause"));
    // The later two name the row the first becomes, which only the server numbers.
    const qint64 first = writer.Append("event", 1, { { "value", 1 } });
    for (int value : { 2, 3 })
        writer.Append("event", 1, { { "value", value } }, "of", first);
    QTRY_VERIFY_WITH_TIMEOUT(writer.IsWaiting(), kWriterMs);
    QVERIFY2(writer.Error().contains("cannot reach"), qPrintable(writer.Error()));
    QTRY_COMPARE_WITH_TIMEOUT(writer.Outboxed(), 3, kWriterMs);
    QCOMPARE(writer.Rows(), 1);
    QVERIFY(server("resume"));
    QTRY_COMPARE_WITH_TIMEOUT(writer.Rows(), 4, kWriterMs);
    QVERIFY(!writer.IsWaiting());
    QCOMPARE(writer.Outboxed(), 0);
    RecordStore store;
    QVERIFY(store.OpenExisting(location));
    const auto values = [&] {
        QList<int> values;
        for (const RecordStore::Row& row : store.Rows("event"))
            values << row.Content()["value"].toInt();
        return values;
    };
    QCOMPARE(values(), (QList<int> { 0, 1, 2, 3 }));
    QCOMPARE(store.RowAt(4).Content()["of"].toInt(), 2);
    QVERIFY(store.Verify().Intact());

    // A console killed while the server is away keeps its rows in the
    // outbox, and the next start sends them before its own, signed by the
    // person who handed them over.
    const QString personKey = QDir(SigningKey::Folder()).filePath("person.key");
    SigningKey person;
    QVERIFY(QDir().mkpath(SigningKey::Folder()));
    QVERIFY(SigningKey::CreateOpen(personKey, "A. Tester").isEmpty() && person.Load(personKey).isEmpty());
    QVERIFY(server("pause"));
    QProcess probe;
    probe.start(QStringLiteral(RECORDS_PROBE), { "keep", "3", location, personKey });
    QVERIFY(probe.waitForStarted());
    QVERIFY(QTest::qWaitFor([&] { return probe.readAllStandardOutput().contains("kept"); }, kWriterMs));
    probe.kill();
    QVERIFY(probe.waitForFinished());
    QVERIFY(server("resume"));
    // Killed again between the server's commit and the outbox's delete.
    RecordOutbox outbox;
    QVERIFY(outbox.Open(RecordOutbox::PathFor(location)).isEmpty());
    QCOMPARE(outbox.Count(), 3);
    const RecordOutbox::Row sent = outbox.Front();
    RecordStore direct;
    QVERIFY(direct.Open(location));
    QVERIFY(direct.Append(sent.kind, sent.node, sent.content, sent.timeMs, nullptr, sent.rowId, sent.signature) > 0);
    RecordWriter next;
    next.Open(location);
    next.Append("event", 1, { { "value", 4 } });
    QTRY_COMPARE_WITH_TIMEOUT(next.Rows(), 8, kWriterMs);
    QTRY_COMPARE_WITH_TIMEOUT(next.Outboxed(), 0, kWriterMs);
    // Read again on the connection the restart broke, as the window reads
    // the register.
    QCOMPARE(store.Nodes(), (QVector<int> { 1, 2 }));
    QCOMPARE(values(), (QList<int> { 0, 1, 2, 3, 100, 101, 102, 4 }));
    QVERIFY(store.Verify().Intact());
    for (RecordStore::Row row : store.Rows("event", 2)) {
        QByteArray signer, signature;
        QVERIFY(SigningKey::Split(row.signature, &signer, &signature));
        QCOMPARE(signer, person.PublicKey());
        QVERIFY2(RecordStore::SignatureHolds(row), qPrintable(QString::number(row.seq)));
        row.content.replace("10", "20"); // a tampered value
        QVERIFY(!RecordStore::SignatureHolds(row));
    }
}

// The server committed rows whose answer never came back: handed over
// again, a row it holds is taken as written (with its own number), neither
// lost nor written twice, with no outbox to fall back on.
void TestRecords::rowHeldByTheServerIsTakenAsWritten()
{
    if (TestServer::Address().isEmpty())
        SKIP_FOR_MISSING_TOOL("no test server: DOSEGATE_TEST_SERVER is not set (scripts/pg-test-server)");
    WindowRig::DataHome home;
    QString why;
    const QString location = TestServer::FreshStore(&why);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QVERIFY(QDir().mkpath(RecordOutbox::PathFor(location))); // a folder where the outbox would be
    RecordWriter writer;
    QSignalSpy written(&writer, SIGNAL(Written(qint64, qint64, qint64)));
    QSignalSpy notWritten(&writer, SIGNAL(NotWritten(qint64, qint64, QString)));
    writer.Open(location);
    QTRY_VERIFY_WITH_TIMEOUT(writer.IsOpen(), kWriterMs);
    RecordStore direct;
    QVERIFY(direct.Open(location));
    const QString held = QUuid::createUuid().toString(QUuid::WithoutBraces);
    QCOMPARE(direct.Append("event", 1, { { "value", 1 } }, -1, nullptr, held), 1);
    QCOMPARE(direct.Append("event", 9, { { "value", 9 } }), 2); // another console's
    QVector<RecordWriter::Entry> entries(2);
    for (int i = 0; i < 2; ++i) {
        entries[i].kind = "event";
        entries[i].node = 1;
        entries[i].content = { { "value", i + 1 } };
    }
    entries[0].rowId = held;
    const qint64 last = writer.Append(entries);
    QTRY_COMPARE_WITH_TIMEOUT(writer.Rows(), 2, kWriterMs);
    QMap<qint64, qint64> seqOfTicket;
    for (const QList<QVariant>& signal : written) {
        for (qint64 ticket = signal[0].toLongLong(); ticket <= signal[1].toLongLong(); ++ticket)
            seqOfTicket[ticket] = signal[2].toLongLong() - (signal[1].toLongLong() - ticket);
    }
    QCOMPARE(seqOfTicket, (QMap<qint64, qint64> { { last - 1, 1 }, { last, 3 } }));
    QVERIFY2(notWritten.isEmpty() && writer.Error().isEmpty(), qPrintable(writer.Error()));
    QCOMPARE(direct.Count(), 3);
    QCOMPARE(direct.Rows("event", 1).size(), 2);
    QVERIFY(direct.Verify().Intact());
}

// A writer idle since a server restart still closes with its checkpoint:
// its first read after the restart connects again.
void TestRecords::idleWriterClosesWithItsCheckpointAfterARestart()
{
    if (TestServer::Address().isEmpty())
        SKIP_FOR_MISSING_TOOL("no test server: DOSEGATE_TEST_SERVER is not set (scripts/pg-test-server)");
    WindowRig::DataHome home;
    QString why;
    const QString location = TestServer::FreshStore(&why);
    QVERIFY2(why.isEmpty(), qPrintable(why));
    const QString folder = QFileInfo(qEnvironmentVariable("DOSEGATE_TEST_SERVER_DATA")).path();
    {
        RecordWriter writer;
        writer.Open(location);
        writer.Append("event", 1, { { "value", 1 } });
        QTRY_COMPARE_WITH_TIMEOUT(writer.Rows(), 1, kWriterMs);
        QVERIFY(QProcess::execute(QStringLiteral(PG_TEST_SERVER), { "pause", folder }) == 0);
        QVERIFY(QProcess::execute(QStringLiteral(PG_TEST_SERVER), { "resume", folder }) == 0);
    }
    RecordStore store;
    QVERIFY(store.OpenExisting(location));
    const RecordStore::Row last = store.RowAt(store.Newest());
    QCOMPARE(last.kind, QString("checkpoint"));
    QCOMPARE(last.Content()["row"].toInt(), 1);
}

// Every kProgressRows rows, and never past a break.
void TestRecords::fullCheckTellsItsProgress()
{
    WindowRig::DataHome home;
    RecordStore store;
    QVERIFY(store.Open(RecordStore::DefaultPath()) && store.Begin());
    const qint64 rows = RecordStore::kProgressRows + 1;
    for (qint64 i = 0; i < rows; ++i)
        QVERIFY(store.Append("node state", 1, { { "state", "Live" } }) > 0);
    QVERIFY(store.Commit());
    QList<qint64> heard;
    const auto listen = [&heard](qint64 checked) { heard << checked; };
    QVERIFY(RecordVerifier::Full(store, listen).Intact());
    QCOMPARE(heard, QList<qint64> { RecordStore::kProgressRows });
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "tampering");
        db.setDatabaseName(RecordStore::DefaultPath());
        QVERIFY(db.open());
        QSqlQuery query(db);
        const QString change = QString("UPDATE records SET content = '{}' WHERE seq = %1");
        QVERIFY(query.exec("DROP TRIGGER records_kept") && query.exec(change.arg(7)));
    }
    QSqlDatabase::removeDatabase("tampering");
    heard.clear();
    QCOMPARE(store.Verify(listen).badRow, 7);
    QVERIFY(heard.isEmpty());
}

// Cleanly closed, the store has no -wal or -shm, and SQLite may not make
// them: checking and exporting still work, and change nothing.
void TestRecords::storeInAReadOnlyFolderVerifiesAndExports()
{
    WindowRig::DataHome home;
    {
        RecordStore store;
        QVERIFY(store.Open(RecordStore::DefaultPath()));
        for (int value : { 1, 2, 3 })
            QCOMPARE(store.Append("event", value, { { "value", value } }), value);
    }
    const QString storeFolder = QFileInfo(RecordStore::DefaultPath()).absolutePath();
    const QStringList before = QDir(storeFolder).entryList(QDir::Files);
    QVERIFY(!before.contains("records.sqlite-wal"));
    const QFileDevice::Permissions readOnly = QFileDevice::ReadOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup
        | QFileDevice::ExeGroup | QFileDevice::ReadOther | QFileDevice::ExeOther;
    QTemporaryDir out;
    for (const QString& folder : { home.folder.path(), out.path() })
        QVERIFY(QFile::setPermissions(folder, readOnly | QFileDevice::WriteOwner | QFileDevice::WriteOther));
    QVERIFY(QFile::setPermissions(storeFolder, readOnly));
    int code = 0;
    QString output;
    RunConsole({ "--verify-records" }, &code, &output, true);
    const QString verified = output;
    const int verifyCode = code;
    RunConsole({ "--export-records", out.filePath("records.csv") }, &code, &output, true);
    QVERIFY(QFile::setPermissions(storeFolder, readOnly | QFileDevice::WriteOwner));
    QCOMPARE(verified.section('\n', 0, 0), QString("3 records, chain intact"));
    QCOMPARE(verifyCode, 0);
    QCOMPARE(output, QString("3 records written to %1").arg(out.filePath("records.csv")));
    QCOMPARE(code, 0);
    QCOMPARE(QDir(storeFolder).entryList(QDir::Files), before);
}

// The bytes hashed name each field's length: fields that joined by new
// lines run together differently still give different bytes. Rows written
// the old way keep verifying by it, beside new ones.
void TestRecords::rowsKeepVerifyingByTheirOwnEncoding()
{
    RecordStore::Row a;
    a.seq = 1;
    a.time = "2026-01-01T00:00:00.000+01:00";
    a.kind = "event\n1";
    a.node = 2;
    a.content = "{}";
    a.previousHash = QByteArray(64, '0');
    RecordStore::Row b = a;
    b.kind = "event";
    b.node = 1;
    b.content = "2\n{}";
    a.encoding = b.encoding = 1;
    QCOMPARE(RecordStore::HashedBytes(a), RecordStore::HashedBytes(b));
    a.encoding = b.encoding = 2;
    QVERIFY(RecordStore::HashedBytes(a) != RecordStore::HashedBytes(b));
    // Stores written before keep verifying: the same bytes, the same digest.
    const QByteArray bytesOfA = QByteArray("\0\0\0\1" "2" "\0\0\0\1" "1" "\0\0\0\x1d", 14)
        + "2026-01-01T00:00:00.000+01:00" + QByteArray("\0\0\0\7", 4) + "event\n1" + QByteArray("\0\0\0\1", 4) + "2"
        + QByteArray("\0\0\0\2", 4) + "{}" + QByteArray("\0\0\0\x40", 4) + QByteArray(64, '0');
    QCOMPARE(RecordStore::HashedBytes(a), bytesOfA);
    QCOMPARE(RecordStore::HashOf(a), QCryptographicHash::hash(bytesOfA, QCryptographicHash::Sha256).toHex());

    WindowRig::DataHome home;
    QVERIFY(QDir().mkpath(QFileInfo(RecordStore::DefaultPath()).absolutePath()));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "old");
        db.setDatabaseName(RecordStore::DefaultPath());
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("CREATE TABLE records (seq INTEGER PRIMARY KEY, time TEXT NOT NULL, kind TEXT NOT NULL,"
                           " node INTEGER NOT NULL, content TEXT NOT NULL, previous_hash TEXT NOT NULL,"
                           " hash TEXT NOT NULL)"));
        const QByteArray old = "1\n2025-01-01T00:00:00.000+01:00\nevent\n3\n{\"value\":1}\n" + QByteArray(64, '0');
        query.prepare("INSERT INTO records VALUES (1, '2025-01-01T00:00:00.000+01:00', 'event', 3, '{\"value\":1}',"
                      " ?, ?)");
        query.addBindValue(QString(64, '0'));
        query.addBindValue(QString::fromLatin1(QCryptographicHash::hash(old, QCryptographicHash::Sha256).toHex()));
        QVERIFY(query.exec());
    }
    QSqlDatabase::removeDatabase("old");
    RecordStore store;
    QVERIFY(store.OpenExisting(RecordStore::DefaultPath())); // as it was: no encoding column yet
    QVERIFY(store.Verify().Intact());
    QVERIFY(store.Open(RecordStore::DefaultPath()));
    QCOMPARE(store.Append("event", 3, { { "value", 2 } }), 2);
    QCOMPARE(store.RowAt(1).encoding, 1);
    QCOMPARE(store.RowAt(2).encoding, 2);
    QVERIFY(store.Verify().Intact());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "tampering");
        db.setDatabaseName(RecordStore::DefaultPath());
        QVERIFY(db.open());
        QSqlQuery query(db);
        QVERIFY(query.exec("DROP TRIGGER records_kept") && query.exec("UPDATE records SET encoding = 1 WHERE seq = 2"));
    }
    QSqlDatabase::removeDatabase("tampering");
    QCOMPARE(store.Verify().reason, QString("row 2 was changed: its content does not match its hash"));
}

// The reply is kept when it arrives, not when its box is closed.
void TestRecords::killedWithABoxOpenKeepsTheReply()
{
    WindowRig::DataHome home;
    LoopbackController controller;
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    probe.setProcessEnvironment(environment);
    probe.start(QStringLiteral(RECORDS_PROBE), { "reply", QString::number(controller.Port()) });
    QVERIFY(probe.waitForStarted());
    QVERIFY(controller.WaitForClient(30000));
    controller.Send(ReplyFrames::Acknowledge(4, 0, 6));
    QVERIFY(QTest::qWaitFor([&] { return probe.readAllStandardOutput().contains("box open"); }, 30000));
    probe.kill();
    QVERIFY(probe.waitForFinished());

    RecordStore store;
    QVERIFY(store.OpenExisting(RecordStore::DefaultPath()));
    QVERIFY(store.Verify().Intact());
    const QVector<RecordStore::Row> replies = store.Rows("acknowledgement");
    QCOMPARE(replies.size(), 1);
    QCOMPARE(replies[0].node, 4);
    QCOMPARE(replies[0].Content()["reply"].toInt(), 6);
}

// The records tab's form is made when first shown; a Finish before that
// (from the procedure, say) takes the fields as they were kept, with the
// reference's U as the readings page has it.
void TestRecords::finishTakesTheKeptFieldsBeforeTheTabIsShown()
{
    WindowRig::DataHome::prepare = [](const QString&) {
        ConsoleSession::SaveRecordFields({ { "operator", "K. Kept" }, { "laboratoryName", "Lab 2" } });
    };
    Calibration rig;
    WindowRig::DataHome::prepare = nullptr;
    ModalWatcher boxes(QMessageBox::Ok);
    rig.SetText("reference_uncertainty", "1.5");
    QVERIFY(rig.Connect());
    rig.Run(16);
    rig.Click("as_found_button");
    QVERIFY(rig.AnswerGet(10000, 10000, 10000));
    QVERIFY(QMetaObject::invokeMethod(&rig.window, "OnFinishCalibrationClicked"));
    QVERIFY(!rig.window.findChild<QLineEdit*>("records_operator")); // the tab was never made
    RecordStore store;
    QTRY_VERIFY_WITH_TIMEOUT(store.OpenExisting(RecordStore::DefaultPath()) && !store.Rows("calibration").isEmpty(),
                             kWriterMs);
    const QJsonObject record = store.Rows("calibration").constLast().Content();
    QCOMPARE(record[CalibrationRecord::kOperator].toString(), QString("K. Kept"));
    QCOMPARE(record[CalibrationRecord::kReference][CalibrationRecord::kExpandedUncertainty].toString(),
             QString("1.5"));
    rig.Open("records");
    QCOMPARE(rig.Text("records_operator"), QString("K. Kept"));
    QCOMPARE(rig.Text("records_reference_uncertainty"), QString("1.5"));
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

// Commands, their replies, warnings and a refresh's node states, handed
// over faster than one transaction takes them: committed in that order,
// each reply naming the row of its command; and what is queued at the end
// is written before the writer goes.
void TestRecords::rowsAreCommittedInTheOrderOfTheirEvents()
{
    WindowRig::DataHome home;
    RecordStore store;
    QVERIFY(store.Open(RecordStore::DefaultPath()));
    RecordWriter writer;
    CommandEvents events(&writer);
    CalibrationBook book(&store, &writer);
    QSignalSpy written(&writer, SIGNAL(Written(qint64, qint64, qint64)));
    QStringList expected;
    for (int i = 0; i < 120; ++i) { // five rows each: more than one transaction takes
        const int node = 1 + i % 9;
        events.CommandSent(FrameProtocol::CmdSetThreshold, node, QByteArray(20, '\0'));
        book.CoefficientClamped(node, 1, 7.5, 5);
        events.Acknowledged(node, 0, FrameProtocol::ReplyThreshold);
        events.NodeStatesChanged({ node, node + 1 }, { "Stale", "Lost" });
        expected << "command" << "warning" << "acknowledgement" << "node state" << "node state";
        if (i == 60)
            writer.Open(RecordStore::DefaultPath()); // with rows already queued
    }
    QVector<int> all(255); // a whole network gone quiet at once
    std::iota(all.begin(), all.end(), 1);
    const qint64 last = expected.size() + all.size();
    QStringList stale;
    for (int id : all) {
        stale << "Stale";
        expected << "node state";
        Q_UNUSED(id)
    }
    events.NodeStatesChanged(all, stale);
    QTRY_COMPARE_WITH_TIMEOUT(writer.Rows(), qint64(expected.size()), 30000);
    QStringList kinds;
    const QVector<RecordStore::Row> rows = store.Rows();
    for (const RecordStore::Row& row : rows) {
        kinds << row.kind;
        if (row.kind == "acknowledgement")
            QCOMPARE(row.Content()["acknowledges"].toInt(), row.seq - 2);
    }
    QCOMPARE(kinds, expected);
    QVERIFY(store.Verify().Intact());
    QVERIFY(written.size() > 1);
    qint64 next = 1;
    for (const QList<QVariant>& batch : written) { // tickets in order, each batch consecutive rows
        QCOMPARE(batch[0].toLongLong(), next);
        next = batch[1].toLongLong() + 1;
        QCOMPARE(batch[2].toLongLong(), batch[1].toLongLong());
    }
    QVERIFY(written.constLast()[0].toLongLong() <= last - all.size() + 1); // in one transaction
    QCOMPARE(written.constLast()[1].toLongLong(), last);

    // Closed with rows still queued: they are written first.
    {
        RecordWriter closing;
        closing.Open(RecordStore::DefaultPath());
        for (int i = 0; i < 600; ++i)
            closing.Append("event", 1, { { "value", i } });
    }
    const QVector<RecordStore::Row> kept = store.Rows("event");
    QCOMPARE(kept.size(), 600);
    QCOMPARE(kept.constLast().Content()["value"].toInt(), 599);
}

// A second console holds the store's write lock: rows wait, the tab says
// so, the readings go on, and the rows are written once it lets go.
void TestRecords::storeHeldByAnotherConsoleLeavesTheWindowWorking()
{
    Calibration rig;
    QTRY_VERIFY_WITH_TIMEOUT(rig.Text("records_state").endsWith("rows kept: 0"), kWriterMs);
    QProcess holder;
    holder.start(QStringLiteral(RECORDS_PROBE), { "--hold" });
    QVERIFY(QTest::qWaitFor([&] { return holder.readAllStandardOutput().contains("holding"); }, 30000));
    QVERIFY(rig.Connect());
    rig.Click("m_pPushButton_thr");
    const QString waiting = QString("Records in %1: waiting for the store, held by another console")
                                .arg(QDir::toNativeSeparators(RecordStore::DefaultPath()));
    QTRY_COMPARE_WITH_TIMEOUT(rig.Text("records_state"), waiting, 20000);
    rig.Run(18);
    QCOMPARE(rig.Find<QTableWidget>("tableWidget_for_potentiometer")->rowCount(), 1);
    QCOMPARE(rig.Text("records_state"), waiting);
    const QDateTime released = QDateTime::currentDateTime();
    holder.kill();
    QVERIFY(holder.waitForFinished());
    QTRY_VERIFY_WITH_TIMEOUT(rig.Text("records_state").endsWith("rows kept: 1"), 20000);
    RecordStore store;
    QVERIFY(store.OpenExisting(RecordStore::DefaultPath()));
    const QVector<RecordStore::Row> commands = store.Rows("command");
    QCOMPARE(commands.size(), 1);
    QVERIFY(QDateTime::fromString(commands[0].time, Qt::ISODateWithMs) < released); // when it was sent
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
    QTRY_VERIFY2_WITH_TIMEOUT(rig.Text("records_state").startsWith("Records are not kept: "),
                              qPrintable(rig.Text("records_state")), kWriterMs);
    QVERIFY(rig.Connect());
    rig.Run(18);
    rig.Click("as_found_button");
    QVERIFY(rig.AnswerGet(10000, 10000, 10000));
    rig.Click("m_pCalcCoefficientBtn");
    QCOMPARE(rig.Field("doubleSpinBox_calib_1"), 0.8929);
    rig.Click("finish_calibration_button");
    QTRY_COMPARE_WITH_TIMEOUT(boxes.boxes.size(), 1, kWriterMs);
    QVERIFY2(boxes.boxes[0].startsWith("Calibration not recorded|The calibration of node 1 could not be recorded: "),
             qPrintable(boxes.boxes[0]));
    QVERIFY(rig.Find<QWidget>("finish_calibration_button")->isEnabled()); // kept open for another try
}

void TestRecords::certificateHoldsEveryField_data()
{
    QTest::addColumn<QString>("line");
    const QString point = "^ *1 +0.09 +0.0010 +0.1008 +\\+12.00 % +0.0905 +\\+0.50 % +9.87 % +2.14 +FAIL → PASS *$";
    const QStringList rows {
        "title", "^ *Calibration certificate *$",
        "number", "Certificate number / 证书编号: NUMBER",
        "laboratory", "Name / 名称 +Radiation Metrology Laboratory *$",
        "address", "Address / 地址 +12 Example Road, Springfield *$",
        "node", "Node id / 节点编号 +7 *$",
        "serial number", "Serial number / 出厂编号 +SN-0042 *$",
        "detector type", "Detector type / 探测器类型 +DT-C *$",
        "console version", "Console version / 控制台软件版本 +1.3.4.1 *$",
        "readings", "Readings per point / 每点读数次数 +20 *$",
        "averaging", "Averaging / 平均方式 +mean of consecutive readings, one every 2 s",
        "decision rule", "Decision rule / 判定规则 +simple acceptance, tolerance ±10 % *$",
        "reference source", "Reference source / 参考源 +Cs-137 field, 2 m *$",
        "reference certificate", "Reference certificate / 参考源证书编号 +REF-2025-117 *$",
        "reference uncertainty", "Reference expanded uncertainty \\(k = 2\\).* +3.5 % *$",
        "temperature", "Temperature / 温度 +21.5 °C *$",
        "pressure", "Pressure / 气压 +101.3 kPa *$",
        "humidity", "Relative humidity / 相对湿度 +45 % *$",
        "date of calibration", "Date of calibration / 校准日期 +2026-03-10 *$",
        "date of issue", "Date of issue / 签发日期 +2026-03-11 *$",
        "point", point,
        "budget, reference field", "^ *reference field +normal +1.750 % +1.760 +inf *$",
        "budget, repeatability", "^ *repeatability +Type A +0.00277 μSv/h +3.080 +19 *$",
        "budget, rectangular term", "^ *source distance +rectangular +1.155 % +1.161 +inf *$",
        "U of the error", "u\\(e\\) = 2.54, νeff = 132; U\\(e\\) = 9.87 \\(k = 2.14\\)",
        "U of the calibration factor", "calibration factor N = T/\\(M − B\\): 5.10 % \\(k = 2.14\\)",
        "remark kept with the point", "readings scatter 2.3 times what counting allows",
        "coefficients before", "Before \\(as found\\) / 调整前 +1.0000 +1.0000 +1.0000 *$",
        "coefficients after", "After \\(written\\) / 调整后 +0.8929 +1.0000 +1.0000 *$",
        "coefficients read back", "Read back / 回读 +0.8929 +1.0000 +1.0000 *$",
        "statement", "The results relate only to the item calibrated.",
        "performed and checked by", "Performed by / 校准员 +A. Tester <QA> & Co +Checked by / 核验员 +_{10,} *$",
        "record hash", "Record / 记录 1, SHA-256: HASH *$",
        "end", "^ *— End of certificate / 证书结束 — *$",
        "pages", "NUMBER +Page 2 of 2 / 第 2 页，共 2 页 *$",
    };
    for (int i = 0; i < rows.size(); i += 2)
        QTest::newRow(qPrintable(rows[i])) << rows[i + 1];
}

// Each field with its value on one line of the text read back.
void TestRecords::certificateHoldsEveryField()
{
    QFETCH(QString, line);
    if (QByteArray(PDFTOTEXT).isEmpty())
        SKIP_FOR_MISSING_TOOL("pdftotext (poppler-utils) is not installed");
    WindowRig::DataHome home;
    RecordStore store;
    QVERIFY(store.Open(RecordStore::DefaultPath()));
    QCOMPARE(store.Append("calibration", 7, WithBudget(FixedCalibration(1))), 1);
    const CertificateWriter::Outcome outcome = CertificateWriter(&store).Write(1);
    QVERIFY2(outcome.Written(), qPrintable(outcome.error));
    const QString number = QFileInfo(outcome.path).completeBaseName();
    QVERIFY2(QRegularExpression("^2026-000001-[0-9A-F]{4}$").match(number).hasMatch(), qPrintable(number));
    const QStringList pages = PdfPages(outcome.path);
    QCOMPARE(pages.size(), 2); // the budget takes the certificate onto a second page
    line.replace("NUMBER", number).replace("HASH", QString::fromLatin1(store.RowAt(1).hash));
    QVERIFY2(QRegularExpression(line, QRegularExpression::MultilineOption).match(pages.join('\f')).hasMatch(),
             qPrintable(pages.join('\f')));
}

// Every page says whose it is and which of how many; every point is on one
// of them, whole; the end is on the last.
void TestRecords::certificateNumbersEveryPage_data()
{
    QTest::addColumn<int>("trueValues");
    QTest::addColumn<int>("warnings");
    QTest::addColumn<QString>("word"); // put whole in four fields
    QTest::newRow("30 points") << 30 << 0 << "";
    QTest::newRow("70 warnings") << 1 << 70 << "";
    QTest::newRow("four 500-character words") << 1 << 2 << QString("0123456789").repeated(50);
    QTest::newRow("Chinese without a break") << 2 << 40 << QString("辐射剂量率监测仪校准实验室").repeated(20);
}

// Every page says whose it is and which of how many; every point, every
// warning and every word is on one of them, whole; the record's hash and
// the end are on the last.
void TestRecords::certificateNumbersEveryPage()
{
    QFETCH(int, trueValues);
    QFETCH(int, warnings);
    QFETCH(QString, word);
    if (QByteArray(PDFTOTEXT).isEmpty())
        SKIP_FOR_MISSING_TOOL("pdftotext (poppler-utils) is not installed");
    WindowRig::DataHome home;
    RecordStore store;
    QVERIFY(store.Open(RecordStore::DefaultPath()));
    QJsonObject record = FixedCalibration(trueValues);
    QJsonArray kept;
    for (int i = 1; i <= warnings; ++i)
        kept.append(QJsonObject { { "title", "Coefficients not taken" },
                                  { "text", QString("Warning %1 of %2, %3").arg(i).arg(warnings).arg(word.left(100)) } });
    record["warnings"] = kept;
    if (!word.isEmpty()) {
        record["operator"] = "O" + word;
        record["serial"] = "S" + word;
        record["laboratory"] = QJsonObject { { "name", "L" + word }, { "address", "A" + word } };
    }
    QCOMPARE(store.Append("calibration", 7, record), 1);
    const CertificateWriter::Outcome outcome = CertificateWriter(&store).Write(1);
    QVERIFY2(outcome.Written(), qPrintable(outcome.error));
    const QString number = QFileInfo(outcome.path).completeBaseName();
    const QStringList pages = PdfPages(outcome.path);
    QVERIFY(!pages.isEmpty());
    int points = 0;
    for (int page = 1; page <= pages.size(); ++page) {
        const QString& text = pages[page - 1];
        QVERIFY(text.contains(QString("Certificate number / 证书编号 %1").arg(number)));
        const QString footer = QString("^%1 +Page %2 of %3 / 第 %2 页，共 %3 页 *$").arg(number).arg(page).arg(pages.size());
        QVERIFY2(QRegularExpression(footer, QRegularExpression::MultilineOption).match(text).hasMatch(),
                 qPrintable(text));
        QCOMPARE(text.contains("End of certificate"), page == pages.size());
        points += text.count(QRegularExpression("^ *1 +[0-9.]+ +0.0010 +[0-9.]+ +\\+12.00 % .* FAIL → PASS *$",
                                                QRegularExpression::MultilineOption));
    }
    QCOMPARE(points, trueValues);
    QVERIFY2(pages.last().contains(QString("Record / 记录 1, SHA-256: %1").arg(QString::fromLatin1(store.RowAt(1).hash))),
             qPrintable(pages.last()));
    // Each cell's lines in turn, whatever stands beside them.
    const QString joined = PdfPages(outcome.path, "-raw").join(QString()).remove(QRegularExpression("\\s"));
    for (int i = 1; i <= warnings; ++i)
        QVERIFY2(joined.contains(QString("Warning%1of%2,").arg(i).arg(warnings)), qPrintable(QString::number(i)));
    for (const char* field : { "O", "S", "L", "A" })
        QVERIFY2(word.isEmpty() || joined.contains(field + word), field);
}

void TestRecords::certificateIsIssuedAgainOnlyFromAnIntactChain_data()
{
    QTest::addColumn<QString>("tampering");
    QTest::addColumn<QString>("refusal");
    QTest::newRow("rows appended since") << QString() << QString();
    QTest::newRow("the calibration changed")
        << "UPDATE records SET content = replace(content, 'SN-0042', 'SN-0043') WHERE seq = 1"
        << "the records do not verify: row 1 was changed: its content does not match its hash";
    QTest::newRow("a later row changed")
        << "UPDATE records SET content = replace(content, '2', '3') WHERE seq = 2"
        << "the records do not verify: row 2 was changed: its content does not match its hash";
}

// The same record gives the same text, whatever was appended since; a
// record that may have been changed gives none.
void TestRecords::certificateIsIssuedAgainOnlyFromAnIntactChain()
{
    QFETCH(QString, tampering);
    QFETCH(QString, refusal);
    if (QByteArray(PDFTOTEXT).isEmpty())
        SKIP_FOR_MISSING_TOOL("pdftotext (poppler-utils) is not installed");
    WindowRig::DataHome home;
    RecordStore store;
    QVERIFY(store.Open(RecordStore::DefaultPath()));
    QCOMPARE(store.Append("calibration", 7, FixedCalibration(2)), 1);
    const CertificateWriter writer(&store);
    const CertificateWriter::Outcome first = writer.Write(1);
    QVERIFY2(first.Written(), qPrintable(first.error));
    const QStringList firstText = PdfPages(first.path);
    QVERIFY(!firstText.isEmpty());
    QCOMPARE(store.Append("event", 7, { { "value", 2 } }), 2);
    QVERIFY(RecordVerifier::SinceMark(store).Intact()); // marks row 2: row 1 is checked on its own
    if (!tampering.isEmpty()) {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "tampering");
            db.setDatabaseName(RecordStore::DefaultPath());
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec("DROP TRIGGER records_kept") && query.exec(tampering));
        }
        QSqlDatabase::removeDatabase("tampering");
    }
    const CertificateWriter::Outcome again = writer.Write(1);
    QCOMPARE(again.error, refusal);
    if (refusal.isEmpty()) {
        QCOMPARE(again.path, first.path);
        QCOMPARE(PdfPages(again.path), firstText);
    }
}

void TestRecords::finishedRecordNamesTheAcknowledgedDetectorType_data()
{
    QTest::addColumn<QString>("commands"); // parameters sent to node 7, "+" when it acknowledged
    QTest::addColumn<QString>("type");
    QTest::newRow("none sent") << "" << "";
    QTest::newRow("acknowledged") << "6600 700 61+" << "DT-C";
    QTest::newRow("a later one unanswered") << "6600 700 61+; 2000 450 22" << "DT-C";
    QTest::newRow("a later one acknowledged") << "6600 700 61+; 1000 100 4+" << "DT-A";
    QTest::newRow("parameters of no known type") << "1 2 3+" << "parameters 1/2/3";
}

void TestRecords::finishedRecordNamesTheAcknowledgedDetectorType()
{
    QFETCH(QString, commands);
    QFETCH(QString, type);
    WindowRig::DataHome home;
    RecordStore store;
    QVERIFY(store.Open(RecordStore::DefaultPath()));
    for (QString command : commands.split("; ", Qt::SkipEmptyParts)) {
        const bool acknowledged = command.endsWith('+');
        QJsonArray parameters;
        for (const QString& value : command.remove('+').split(' '))
            parameters.append(value.toInt());
        const qint64 seq = store.Append("command", 7, { { "command", "detector type" }, { "parameters", parameters } });
        if (acknowledged)
            store.Append("acknowledgement", 7, { { "reply", 3 }, { "value", 0 }, { "acknowledges", seq } });
    }
    RecordWriter writer;
    writer.Open(RecordStore::DefaultPath());
    CalibrationBook book(&store, &writer);
    QObject::connect(&writer, SIGNAL(Written(qint64, qint64, qint64)), &book, SLOT(RowsWritten(qint64, qint64, qint64)));
    QSignalSpy finished(&book, SIGNAL(Finished(int, qint64)));
    book.AddPoint(7, "SN-0042", CalibrationBook::AsFound, CalibrationBook::Point());
    CalibrationBook::Conditions conditions;
    conditions.laboratoryName = "Radiation Metrology Laboratory";
    conditions.laboratoryAddress = "12 Example Road";
    conditions.referenceUncertainty = "abc"; // no figure: kept as none, never printed as "abc %"
    conditions.model = " DG-5 ";
    conditions.manufacturer = " "; // none given: not kept
    QVERIFY(book.Finish(7, conditions));
    QTRY_COMPARE_WITH_TIMEOUT(finished.size(), 1, kWriterMs);
    QCOMPARE(finished[0][1].toLongLong(), store.Rows("calibration").constLast().seq);
    const QJsonObject record = store.Rows("calibration").constLast().Content();
    QVERIFY(record["reference"]["expandedUncertainty"].isNull());
    QCOMPARE(record["detectorType"].toString(), type);
    QCOMPARE(record["model"].toString(), QString("DG-5"));
    QVERIFY(!record.contains("manufacturer"));
    QCOMPARE(record["laboratory"].toObject(),
             (QJsonObject { { "name", conditions.laboratoryName }, { "address", conditions.laboratoryAddress } }));
}

void TestRecords::registerStateAroundTheDueDate_data()
{
    QTest::addColumn<QString>("measured"); // the last point of the calibration
    QTest::addColumn<int>("months");
    QTest::addColumn<QString>("today");
    QTest::addColumn<QString>("due");
    QTest::addColumn<QString>("state");
    const QString march = "2025-03-10T11:40:00.000+01:00";
    QTest::newRow("a month before") << march << 12 << "2026-02-08" << "2026-03-10" << "due in 30 days";
    QTest::newRow("a day before") << march << 12 << "2026-03-09" << "2026-03-10" << "due in 1 day";
    QTest::newRow("on the day") << march << 12 << "2026-03-10" << "2026-03-10" << "due today";
    QTest::newRow("a day after") << march << 12 << "2026-03-11" << "2026-03-10" << "overdue";
    QTest::newRow("six months from the end of August")
        << "2025-08-31T16:00:00.000+02:00" << 6 << "2026-02-28" << "2026-02-28" << "due today";
    QTest::newRow("late evening, as the record's clock had it")
        << "2025-03-10T23:30:00.000-05:00" << 12 << "2026-03-10" << "2026-03-10" << "due today";
}

void TestRecords::registerStateAroundTheDueDate()
{
    QFETCH(QString, measured);
    QFETCH(int, months);
    QFETCH(QString, today);
    QFETCH(QString, due);
    QFETCH(QString, state);
    WindowRig::DataHome home;
    RecordStore store;
    QVERIFY(store.Open(RecordStore::DefaultPath()));
    QVERIFY(store.Append("calibration", 4, CalibratedAt(measured)) > 0);
    CalibrationRegister nodes(&store);
    nodes.SetClock([&] { return QDate::fromString(today, Qt::ISODate); });
    nodes.SetIntervalMonths(months);
    QCOMPARE(nodes.rowCount(), 1);
    QCOMPARE(nodes.index(0, CalibrationRegister::ColumnCalibrated).data().toString(), measured.left(10));
    QCOMPARE(nodes.index(0, CalibrationRegister::ColumnDue).data().toString(), due);
    QCOMPARE(nodes.index(0, CalibrationRegister::ColumnState).data().toString(), state);
    QCOMPARE(nodes.index(0, CalibrationRegister::ColumnState).data(Qt::ForegroundRole).isValid(),
             state == "overdue");
}

// Sorted as the records tab sorts it, and following the store; from a
// summary that is built again from the rows when it is missing.
void TestRecords::registerListsOverdueNodesFirst()
{
    WindowRig::DataHome home;
    RecordStore store;
    QVERIFY(store.Open(RecordStore::DefaultPath()));
    const QList<QPair<int, QString>> calibrated { { 1, "2025-06-01" }, { 2, "2025-02-01" }, { 4, "2025-03-09" },
                                                  { 5, "2025-03-15" } };
    for (const auto& node : calibrated)
        QVERIFY(store.Append("calibration", node.first, CalibratedAt(node.second + "T12:00:00.000+01:00")) > 0);
    QVERIFY(store.Append("command", 3, { { "command", "node id" } }) > 0);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "older console");
        db.setDatabaseName(RecordStore::DefaultPath());
        QVERIFY(db.open());
        QSqlQuery query(db);
        for (const char* table : { "summary_nodes", "summary_calibrations", "summary_through" })
            QVERIFY(query.exec(QString("DROP TABLE %1").arg(table)));
    }
    QSqlDatabase::removeDatabase("older console");
    QVERIFY(store.Open(RecordStore::DefaultPath()));
    CalibrationRegister nodes(&store);
    nodes.SetClock([] { return QDate(2026, 3, 10); });
    QSortFilterProxyModel sorted;
    sorted.setSortRole(CalibrationRegister::SortRole);
    sorted.setSourceModel(&nodes);
    sorted.sort(CalibrationRegister::ColumnState);
    const auto order = [&] {
        QList<int> ids;
        for (int row = 0; row < sorted.rowCount(); ++row)
            ids << sorted.index(row, CalibrationRegister::ColumnNode).data().toInt();
        return ids;
    };
    QCOMPARE(order(), (QList<int> { 3, 2, 4, 5, 1 }));
    QCOMPARE(sorted.index(0, CalibrationRegister::ColumnState).data().toString(), QString("never calibrated"));

    QVERIFY(store.Append("calibration", 2, CalibratedAt("2026-03-01T12:00:00.000+01:00")) > 0);
    nodes.Update();
    QCOMPARE(order(), (QList<int> { 3, 4, 5, 1, 2 }));
    QCOMPARE(sorted.index(4, CalibrationRegister::ColumnCalibrated).data().toString(), QString("2026-03-01"));
}

// What a spreadsheet or a script reads: a byte-order mark, the columns a
// lab asks for, and typed cells that cannot turn into formulas.
void TestRecords::registerExportReadsBackInPython()
{
    const QString python = QStandardPaths::findExecutable("python3");
    if (python.isEmpty())
        SKIP_FOR_MISSING_TOOL("python3 is not installed");
    WindowRig::DataHome home;
    {
        RecordStore store;
        QVERIFY(store.Open(RecordStore::DefaultPath()));
        QJsonObject record = CalibratedAt("2026-03-10T11:40:00.000+01:00");
        record["operator"] = "=HYPERLINK(\"http://x\",\"A, B\")";
        record["serial"] = "@SUM(1)";
        QCOMPARE(store.Append("calibration", 7, record), 1);
        QCOMPARE(store.Append("command", 3, { { "command", "node id" } }), 2);
        record["serial"] = "-1+1";
        record["operator"] = "\tB. Tester 测试";
        QJsonArray points = record["points"].toArray(); // left failing: never "due in N days"
        QJsonObject left = points.last().toObject();
        left["verdict"] = "FAIL";
        left["expandedUncertainty"] = "5.10"; // as this console keeps figures now: text
        points.replace(points.size() - 1, left);
        record["points"] = points;
        QCOMPARE(store.Append("calibration", 12, record), 3);
    }
    const QString csv = home.folder.filePath("register.csv");
    int code = 0;
    QString output;
    QCOMPARE(RunConsole({ "--export-register", csv }, &code, &output), QProcess::NormalExit);
    QCOMPARE(output, "register written to " + csv);
    QCOMPARE(code, 0);
    QCOMPARE(RunConsole({ "--export-register", csv }, &code, &output), QProcess::NormalExit);
    QCOMPARE(code, 2); // not over itself either
    QProcess reader;
    reader.start(python, { "-c", "import csv, json, sys\n"
                                 "raw = open(sys.argv[1], 'rb').read()\n"
                                 "assert raw.startswith(b'\\xef\\xbb\\xbf')\n"
                                 "rows = list(csv.reader(open(sys.argv[1], encoding='utf-8-sig', newline='')))\n"
                                 "print(json.dumps(rows))",
                           csv });
    QVERIFY(reader.waitForFinished(30000));
    QCOMPARE(reader.exitCode(), 0);
    const QJsonArray rows = QJsonDocument::fromJson(reader.readAllStandardOutput()).array();
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0].toArray(), (QJsonArray { "node", "serial", "last calibration", "verdict", "U", "due date", "state",
                                              "operator", "certificate number" }));
    const QString number = CalibrationSummary::CertificateNumber(
        [] { RecordStore store; store.OpenExisting(RecordStore::DefaultPath()); return store.RowAt(1); }());
    const QDate due(2027, 3, 10);
    const QString state = QDate::currentDate() > due ? "overdue"
                                                     : QString("due in %1 days").arg(QDate::currentDate().daysTo(due));
    QCOMPARE(rows[1].toArray(), (QJsonArray { "3", "", "", "", "", "", "never calibrated", "", "" }));
    QCOMPARE(rows[2].toArray(), (QJsonArray { "7", "'@SUM(1)", "2026-03-10", "PASS", "9.87 %", "2027-03-10", state,
                                              "'=HYPERLINK(\"http://x\",\"A, B\")", number }));
    QCOMPARE(rows[3].toArray()[1].toString(), QString("'-1+1"));
    QCOMPARE(rows[3].toArray()[7].toString(), QString("'\tB. Tester 测试"));
    QCOMPARE(rows[3].toArray()[6].toString(), QString("failed — not fit for use"));
    QCOMPARE(rows[3].toArray()[4].toString(), QString("5.10 %"));
}

// A node whose calibration ended in FAIL is not fit for use, however far
// its due date lies; it sorts first, and is red.
void TestRecords::registerShowsAFailedNodeAsUnfit()
{
    WindowRig::DataHome home;
    RecordStore store;
    QVERIFY(store.Open(RecordStore::DefaultPath()));
    QVERIFY(store.Append("calibration", 1, CalibratedAt("2026-03-01T12:00:00.000+01:00")) > 0);
    QJsonObject failed = CalibratedAt("2026-03-01T12:00:00.000+01:00");
    QJsonArray points = failed["points"].toArray();
    QJsonObject left = points.last().toObject();
    left["verdict"] = "FAIL";
    points.replace(points.size() - 1, left);
    failed["points"] = points;
    QVERIFY(store.Append("calibration", 2, failed) > 0);
    CalibrationRegister nodes(&store);
    nodes.SetClock([] { return QDate(2026, 3, 10); });
    QSortFilterProxyModel sorted;
    sorted.setSortRole(CalibrationRegister::SortRole);
    sorted.setSourceModel(&nodes);
    sorted.sort(CalibrationRegister::ColumnState);
    const QModelIndex state = sorted.index(0, CalibrationRegister::ColumnState);
    QCOMPARE(sorted.index(0, CalibrationRegister::ColumnNode).data().toInt(), 2);
    QCOMPARE(state.data().toString(), QString("failed — not fit for use"));
    QVERIFY(state.data(Qt::ForegroundRole).isValid());
    QCOMPARE(sorted.index(1, CalibrationRegister::ColumnState).data().toString(), QString("due in 356 days"));
}

void TestRecords::procedureAsksAboutASerialTheRegisterHolds()
{
    WindowRig::DataHome::prepare = [](const QString&) {
        RecordStore store;
        QVERIFY(store.Open(RecordStore::DefaultPath()));
        QVERIFY(store.Append("calibration", 7, FixedCalibration(1)) > 0); // SN-0042
    };
    Calibration rig;
    WindowRig::DataHome::prepare = nullptr;
    rig.Open("procedure_page");
    auto* next = rig.Find<QAbstractButton>("procedure_next");
    auto* confirmed = rig.Find<QAbstractButton>("procedure_serial_confirmed");
    QTRY_VERIFY([&] {
        rig.SetText("procedure_serial", QString());
        rig.SetText("procedure_serial", "SN-0042");
        return confirmed->isVisibleTo(rig.Find<QWidget>("procedure_page"));
    }());
    QVERIFY(!next->isEnabled());
    QVERIFY2(rig.Text("procedure_missing").contains("already holds serial SN-0042"),
             qPrintable(rig.Text("procedure_missing")));
    confirmed->click(); // the same item, calibrated again
    QVERIFY(next->isEnabled());
    confirmed->click();
    rig.SetText("procedure_serial", "SN-0043"); // a new item needs no confirmation
    QVERIFY(next->isEnabled());
    QVERIFY(!confirmed->isVisibleTo(rig.Find<QWidget>("procedure_page")));
}


// Hashes and signatures cover a row's bytes: the book writes, key for key,
// what it wrote before the record had a type of its own.
void TestRecords::bookWritesTheBytesItAlwaysWrote()
{
    WindowRig::DataHome home;
    RecordStore store;
    QVERIFY(store.Open(RecordStore::DefaultPath()));
    RecordWriter writer;
    writer.Open(RecordStore::DefaultPath());
    CalibrationBook book(&store, &writer);
    CalibrationBook::Point point;
    point.trueValue = 0.09;
    point.background = 0.001;
    point.referenceUncertainty = 3.5;
    point.n = 20;
    point.mean = 0.0905;
    point.error = 0.56;
    point.expandedUncertainty = 9.87;
    point.budget = { { "repeatability", "", "0.002772", "μSv/h", "3.0800", "19" } };
    point.remarks = QStringList { "readings scatter" };
    point.tolerance = 10;
    point.rule = "simple acceptance";
    point.verdict = "PASS";
    book.AddPoint(7, " SN-0042 ", CalibrationBook::AsFound, point);
    book.CoefficientsRead(7, 1, 1, 1);
    const LinkCommand set(FrameProtocol::CmdSetCalibrationCoefficients, 7, { 0.8929, 1, 1 });
    book.CommandSent(set.Code(), 7, QByteArray("\xA4\x10", 2) + set.Inner() + '\0');
    book.Acknowledged(7, 0, FrameProtocol::ReplyCoefficients);
    book.CoefficientsRead(7, 0.8928, 1, 1); // not taken: a warning
    CalibrationBook::Conditions conditions;
    conditions.operatorName = "A. Tester";
    conditions.referenceUncertainty = "3.5";
    conditions.customer = "Plant 2";
    QVERIFY(book.Finish(7, conditions));
    QTRY_COMPARE_WITH_TIMEOUT(store.Rows("calibration").size(), 1, kWriterMs);
    const RecordStore::Row row = store.Rows("calibration").constLast();
    const QJsonObject kept = row.Content();
    const auto figure = [](double value, int decimals) { return TypedFigure::Kept(value, decimals); };
    const QJsonObject old {
        { "node", 7 }, { "opened", kept["opened"] }, { "console", QCoreApplication::applicationVersion() },
        { "asFoundCoefficients", QJsonArray { 1.0, 1.0, 1.0 } }, { "serial", "SN-0042" },
        { "points", QJsonArray { QJsonObject {
            { "stage", "as found" }, { "range", 1 }, { "time", kept["points"][0]["time"] }, { "trueValue", "0.09" },
            { "background", "0.001" }, { "backgroundUncertainty", "0" }, { "backgroundDegreesOfFreedom", "inf" },
            { "referenceUncertainty", "3.5" }, { "n", 20 }, { "mean", figure(0.0905, 4) },
            { "standardDeviation", figure(0, 4) }, { "error", figure(0.56, 2) },
            { "standardUncertainty", figure(0, 2) }, { "degreesOfFreedom", "0" },
            { "expandedUncertainty", figure(9.87, 2) }, { "coverageFactor", figure(0, 2) },
            { "factorExpandedUncertainty", figure(0, 2) }, { "decisionThreshold", figure(0, 4) },
            { "detectionLimit", figure(0, 4) }, { "probabilityWithin", QJsonValue::Null },
            { "budget", QJsonArray { QJsonObject { { "component", "repeatability" }, { "distribution", "" },
                                                   { "u", "0.002772" }, { "unit", "μSv/h" },
                                                   { "contribution", "3.0800" }, { "degreesOfFreedom", "19" } } } },
            { "remarks", QJsonArray { "readings scatter" } }, { "tolerance", "10" }, { "rule", "simple acceptance" },
            { "verdict", "PASS" }, { "journal", "" }, { "firstLine", 0 }, { "lastLine", 0 } } } },
        { "adjustments", QJsonArray { QJsonObject { { "time", kept["adjustments"][0]["time"] },
                                                    { "written", QJsonArray { 0.8929, 1.0, 1.0 } },
                                                    { "acknowledged", true },
                                                    { "readBack", QJsonArray { 0.8928, 1.0, 1.0 } },
                                                    { "readBackMatches", false } } } },
        { "warnings", QJsonArray { QJsonObject { { "time", kept["warnings"][0]["time"] },
                                                 { "title", "Coefficients not taken" },
                                                 { "text", "Node 7 holds 0.8928, 1.0000, 1.0000 after 0.8929, "
                                                           "1.0000, 1.0000 were written." } } } },
        { "finished", kept["finished"] }, { "operator", "A. Tester" },
        { "reference", QJsonObject { { "source", "" }, { "certificate", "" }, { "expandedUncertainty", "3.5" } } },
        { "laboratory", QJsonObject { { "name", "" }, { "address", "" } } }, { "detectorType", "" },
        { "conditions", QJsonObject { { "temperature", "" }, { "pressure", "" }, { "humidity", "" } } },
        { "customer", "Plant 2" }, { "place", "" }, { "measurand", "" }, { "procedure", "" },
        { "traceability", "" } };
    QCOMPARE(row.content, QJsonDocument(old).toJson(QJsonDocument::Compact));
    QCOMPARE(CalibrationRecord::fromJson(kept).toJson(), kept);
    QCOMPARE(CalibrationRecord::fromJson(kept).AsLeftCoefficients(), (QJsonArray { 0.8928, 1.0, 1.0 }));
}

// Rows of earlier consoles (figures as numbers, no budget, no customer)
// and a bare one are read; a key holding what no console wrote there is
// named, and what else there is still read.
void TestRecords::recordReadsEveryShapeAndNamesTheMalformed_data()
{
    QTest::addColumn<QJsonObject>("content");
    QTest::addColumn<QString>("why");
    QTest::addColumn<int>("points");
    const QJsonObject record = FixedCalibration(2);
    QTest::newRow("numbers, no budget") << record << QString() << 4;
    QTest::newRow("with a budget") << WithBudget(record) << QString() << 4;
    QTest::newRow("bare") << QJsonObject { { "node", 3 } } << QString() << 0;
    QJsonObject points = record;
    points["points"] = "4 points";
    QTest::newRow("points not a list") << points << QString("points is not a list") << 0;
    QJsonObject item = record;
    item["points"] = QJsonArray { 1, record["points"][0] };
    QTest::newRow("a point not an object") << item << QString("an item of points is malformed") << 1;
    QJsonObject figure = record;
    QJsonObject first = record["points"][0].toObject();
    first["mean"] = QJsonObject { { "value", 1 } };
    figure["points"] = QJsonArray { first };
    QTest::newRow("a figure not a figure") << figure << QString("an item of points is malformed") << 1;
    QJsonObject serial = record;
    serial["serial"] = 42;
    QTest::newRow("serial a number") << serial << QString("serial is not text") << 4;
    QJsonObject later = record; // kept as they came
    later["later"] = QJsonArray { 1 };
    QJsonObject laterPoint = record["points"][0].toObject();
    laterPoint["later"] = "x";
    later["points"] = QJsonArray { laterPoint };
    QTest::newRow("keys of a later console") << later << QString() << 1;
}

void TestRecords::recordReadsEveryShapeAndNamesTheMalformed()
{
    QFETCH(QJsonObject, content);
    QFETCH(QString, why);
    QFETCH(int, points);
    CalibrationRecord record;
    QString named;
    QCOMPARE(CalibrationRecord::fromJson(content, &record, &named), why.isEmpty());
    QCOMPARE(named, why);
    QCOMPARE(record.points.size(), points);
    QCOMPARE(record.node, content["node"].toInt());
    if (content["operator"].isString())
        QCOMPARE(record.operatorName, content["operator"].toString());
    const QJsonObject again = record.toJson();
    QCOMPARE(again["later"], content.value("later"));
    QCOMPARE(again["points"][0]["later"], content.value("points")[0]["later"]);
}

// Neither a serial nor a point, nor a time to date it by: stored all the
// same, summarised with empty fields and the date it was stored.
void TestRecords::calibrationWithoutSerialOrPointsIsStored()
{
    WindowRig::DataHome home;
    RecordStore store;
    QVERIFY(store.Open(RecordStore::DefaultPath()));
    const qint64 seq = store.Append("calibration", 5, { { "node", 5 } });
    QVERIFY2(seq > 0, qPrintable(store.Error()));
    const QVector<CalibrationSummary> summaries = store.LastCalibrations();
    QCOMPARE(summaries.size(), 1);
    QCOMPARE(summaries[0].serial, QString(""));
    QCOMPARE(summaries[0].verdict, QString(""));
    QCOMPARE(summaries[0].date, CalibrationSummary::DateOf(store.RowAt(seq).time));
    QVERIFY(summaries[0].date.isValid());
}

QTEST_MAIN(TestRecords)
#include "tst_records.moc"
