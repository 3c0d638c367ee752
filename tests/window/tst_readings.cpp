#include "BudgetDialog.h"
#include "CalibrationFigures.h"
#include "ConsoleLanguage.h"
#include "ConsoleSession.h"
#include "FileSizeLimit.h"
#include "FiringTimers.h"
#include "FrameProtocol.h"
#include "ModalWatcher.h"
#include "NodeBoard.h"
#include "ReadingTrend.h"
#include "RecordStore.h"
#include "ReplyFrames.h"
#include "StdoutCapture.h"
#include "TrendEnvelope.h"
#include "TypedFigure.h"
#include "WindowRig.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <QDir>
#include <QFontMetricsF>
#include <QSet>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QScrollBar>
#include <QSpinBox>
#include <QTableView>
#include <QTabWidget>
#include <QTableWidget>
#include <QTest>
#include <QTextEdit>
#include <QVBoxLayout>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>

namespace {

const QString kWarning = QStringLiteral("warn|The average number of groups needs to be greater than 20")
    + QString(3, QChar(0xFF01));

struct Run : WindowRig {
    Run() { Find<QCheckBox>("calibration_check_box")->setChecked(true); }
    QTableWidget* Table() const { return Find<QTableWidget>("tableWidget_for_potentiometer"); }
    QString Cell(int row, int column) const
    {
        QTableWidgetItem* item = Table()->item(row, column);
        return item ? item->text() : QString();
    }
    ReadingTrend* Trend() const
    {
        Open("tab_for_potentiometer");
        auto* trend = window.findChild<ReadingTrend*>();
        trend->Refresh();
        return trend;
    }
    QDir Runs() const { return QDir(dataHome.folder.filePath(QCoreApplication::applicationName() + "/runs")); }
    // Each journal's lines, oldest journal first, header left out.
    QList<QStringList> Journals() const
    {
        QList<QStringList> journals;
        for (const QString& name : Runs().entryList({ "*.csv" }, QDir::Files, QDir::Name)) {
            QFile file(Runs().filePath(name));
            file.open(QIODevice::ReadOnly);
            QStringList lines = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
            if (lines.value(0) == "time,id,count,reading_uSv_h,row")
                lines.removeFirst();
            journals << lines;
        }
        return journals;
    }
};

// The height of a horizontal line; NaN if the line is not one.
float Level(const QXYSeries* series)
{
    const bool flat = series->count() == 2 && series->at(0).y() == series->at(1).y();
    return flat ? float(series->at(0).y()) : std::numeric_limits<float>::quiet_NaN();
}

} // namespace

class TestReadings : public QObject
{
    Q_OBJECT

private slots:
    void runRequestsDoseEveryTwoSecondsUntilStopped();
    void watchingAllNodesRequestsAndFillsTheBoard();
    void firstMeanComesWithTheNthReading();
    void fullWindowDropsItsOldestReading();
    void identicalReadingsShowTinyVariation();
    void figuresOfAFullWindow_data();
    void figuresOfAFullWindow();
    void figuresOfTheModel_data();
    void figuresOfTheModel();
    void specificRiskWhereUEqualsTheTolerance();
    void budgetAndMeasuredBackgroundReachTheFigures();
    void trueValueBelowTheDetectionLimitIsSaidBeforeTheRun();
    void typedFiguresOutsideTheirRangeAreMarked_data();
    void typedFiguresOutsideTheirRangeAreMarked();
    void typedFigureReadsTheDesktopsLocale();
    void coverageFactorAtTheDegreesOfFreedom_data();
    void coverageFactorAtTheDegreesOfFreedom();
    void figuresAndInputsShowFromTheirStart();
    void limitsFollowTheirInputs_data();
    void limitsFollowTheirInputs();
    void averageNumberBelowTwentyIsRaisedWithOneWarning();
    void rowsKeepComingBehindTheWarning();
    void averageNumberIsTruncated();
    void loweringTheAverageNumberTrimsTheWindow();
    void tickAddsOneRowWithTheNewestReading();
    void readingIdChangeStartsAFreshTable();
    void foreignOrStoppedReadingsChangeNothing();
    void zeroReadingsAndNonNumbersDivideByNothing();
    void everyTextShowsWhole_data();
    void everyTextShowsWhole();
    void pageFirstShownGetsItsRoom();
    void everyTextReadsInChinese();
    void trendFollowsTheTable();
    void longTrendIsThinnedKeepingItsExtremes();
    void trendLabelsFitTheAxis_data();
    void trendLabelsFitTheAxis();
    void journalKeepsEveryAcceptedReading();
    void journalThatCannotBeWrittenLeavesTheRunGoing();
};

void TestReadings::runRequestsDoseEveryTwoSecondsUntilStopped()
{
    WindowRig rig;
    QVERIFY(rig.Connect());
    FiringTimers requestTimers(2000);
    auto* box = rig.Find<QCheckBox>("calibration_check_box");
    box->click();
    QVERIFY(box->isChecked());
    QVERIFY(rig.controller.WaitForBytes(9, 3000));
    QCOMPARE(rig.controller.TakeReceived().toHex(' '), QByteArray("ff 02 cc 00 59 00 00 0e 99"));

    rig.controller.Send(ReplyFrames::DoseCount(1, 16, 0));
    QTRY_COMPARE(rig.Find<QTableWidget>("tableWidget_for_potentiometer")->rowCount(), 1);

    box->click();
    QCOMPARE(requestTimers.Count(), 1); // the one that sent the request
    QVERIFY(!requestTimers.AnyActive());
}

// The first request goes out at once; every node answering gets its row,
// the potentiometer page's node or not.
void TestReadings::watchingAllNodesRequestsAndFillsTheBoard()
{
    WindowRig rig;
    QVERIFY(rig.Connect());
    rig.Find<QCheckBox>("nodes_watch_check_box")->setChecked(true);
    QVERIFY(rig.controller.WaitForBytes(9, 3000));
    QCOMPARE(rig.controller.TakeReceived().toHex(' '), QByteArray("ff 02 cc 00 59 00 00 0e 99"));
    rig.controller.Send(ReplyFrames::DoseCount(5, 16, 0) + ReplyFrames::DoseCount(1, 100, 0));
    rig.Open("nodes");
    QAbstractItemModel* board = rig.Find<QTableView>("nodes_table")->model();
    QTRY_COMPARE(board->rowCount(), 2);
    QCOMPARE(board->index(0, NodeBoard::ColumnDose).data().toString(), QString("0.5600"));
    QCOMPARE(board->index(1, NodeBoard::ColumnId).data().toString(), QString("5"));
    QCOMPARE(board->index(1, NodeBoard::ColumnState).data().toString(), QString("live"));
    QCOMPARE(rig.Find<QTableWidget>("tableWidget_for_potentiometer")->rowCount(), 0);
}

void TestReadings::firstMeanComesWithTheNthReading()
{
    Run run;
    run.Readings(1, 16, 19);
    QCOMPARE(run.Text("average_group_3"), QString("0.0"));
    run.Reading(1, 16);
    QCOMPARE(run.Text("average_group_3"), QString("0.0896"));
}

void TestReadings::fullWindowDropsItsOldestReading()
{
    Run run;
    run.Reading(1, 1000); // 5.6
    run.Readings(1, 16, 19);
    QCOMPARE(run.Text("average_group_3"), QString("0.3651"));
    run.Reading(1, 16);
    QTRY_COMPARE(run.Text("average_group_3"), QString("0.0896")); // the mean is shown at a pace
}

// Single-precision sums of twenty equal readings leave a tiny spread, so
// the field is written (as 0.00) rather than left empty.
void TestReadings::identicalReadingsShowTinyVariation()
{
    Run run;
    QCOMPARE(run.Text("variable_conefficient"), QString());
    run.Readings(1, 16, 20);
    run.Tick();
    QCOMPARE(run.Text("average_group_3"), QString("0.0896"));
    QCOMPARE(run.Text("variable_conefficient"), QString("0.00"));
}

// Readings as "19x17,1x16": 19 of count 17, then one of 16; N is their
// number. Inputs: true value, tolerance, background, reference uncertainty.
// Figures: mean, error, s, U(e), k, verdict. U(e) is in points of e: M
// enters as 100·u(M)/T, the reference as R = (M − B)/T times its relative u.
// Ten readings of 0.0896 and ten of 0.1008 (mean 0.0952, R = 1.0578):
//   s = sqrt(20 × 0.0056² / 19) = 0.0057455, u(M) term = 100 × s/√20 / 0.09 = 1.4275
//   reference 0: ν = 19, k = 2.14, U = 2.1405 × 1.4275 = 3.06
//   reference 3 %: term 1.0578 × 1.5 = 1.5867, u = 2.1343,
//   ν = 19 × (2.1343 / 1.4275)⁴ = 94.9 → 94, k = 2.03, U = 4.33
//   background 0.0022: net 0.0930, e = +3.33 %, the u(M) term unchanged: U = 3.06
// The case of counts 17,16,18,17,15,19,17,16,18,17 twice (s = 0.0062941,
// u(M) term 1.5638): reference 0 %: U = 2.1405 × 1.5638 = 3.35; 3 %: u = 2.2277,
// ν = 78.3 → 78, U = 2.0326 × 2.2277 = 4.53; 8 %: term 4.2311, u = 4.5109,
// ν = 1315.6 → 1315, U = 2.0019 × 4.5109 = 9.03. Guarded, 5.78 + 4.53 > 10.
void TestReadings::figuresOfAFullWindow_data()
{
    QTest::addColumn<QString>("readings");
    QTest::addColumn<QStringList>("inputs");
    QTest::addColumn<int>("rule");
    QTest::addColumn<QStringList>("figures");
    const QString spread = "10x16,10x18";
    const QStringList normal { "0.09", "10", "0", "0" };
    QTest::newRow("0.09492 is +5.47 %, not 0.00 of its text 0.09") << "19x17,1x16" << normal << 0
        << QStringList { "0.0949", "5.47", "0.0013", "0.67", "k = 2.14", "PASS" };
    QTest::newRow("0.0952 is +5.78 %, not 11.11 of its text 0.10") << "20x17" << normal << 0
        << QStringList { "0.0952", "5.78", "0.0000", "0.00", "k = 2.00", "PASS" };
    QTest::newRow("twenty identical readings") << "20x16" << normal << 0
        << QStringList { "0.0896", "-0.44", "0.0000", "0.00", "k = 2.00", "PASS" };
    QTest::newRow("by hand, reference exact") << spread << normal << 0
        << QStringList { "0.0952", "5.78", "0.0057", "3.06", "k = 2.14", "PASS" };
    QTest::newRow("by hand, reference 3 %") << spread << QStringList { "0.09", "10", "0", "3" } << 0
        << QStringList { "0.0952", "5.78", "0.0057", "4.33", "k = 2.03", "PASS" };
    QTest::newRow("by hand, background") << spread << QStringList { "0.09", "10", "0.0022", "0" } << 0
        << QStringList { "0.0952", "3.33", "0.0057", "3.06", "k = 2.14", "PASS" };
    QTest::newRow("simple, 5.78 beyond 5") << spread << QStringList { "0.09", "5", "0", "0" } << 0
        << QStringList { "0.0952", "5.78", "0.0057", "3.06", "k = 2.14", "FAIL" };
    QTest::newRow("guarded, 5.78 + 4.33 within 10.2") << spread << QStringList { "0.09", "10.2", "0", "3" } << 1
        << QStringList { "0.0952", "5.78", "0.0057", "4.33", "k = 2.03", "PASS" };
    QTest::newRow("guarded, 5.78 ± 4.33 across 8") << spread << QStringList { "0.09", "8", "0", "3" } << 1
        << QStringList { "0.0952", "5.78", "0.0057", "4.33", "k = 2.03", "INCONCLUSIVE" };
    QTest::newRow("guarded, 5.78 − 4.33 beyond 1") << spread << QStringList { "0.09", "1", "0", "3" } << 1
        << QStringList { "0.0952", "5.78", "0.0057", "4.33", "k = 2.03", "FAIL" };
    const QString issue = "1x17,1x16,1x18,1x17,1x15,1x19,1x17,1x16,1x18,1x17,"
                          "1x17,1x16,1x18,1x17,1x15,1x19,1x17,1x16,1x18,1x17";
    const QStringList verdicts { "PASS", "PASS", "PASS", "PASS", "INCONCLUSIVE", "INCONCLUSIVE" };
    const QStringList references { "0", "3", "8" };
    const QStringList expanded { "3.35", "4.53", "9.03" };
    const QStringList factors { "k = 2.14", "k = 2.03", "k = 2.00" };
    for (int rule = 0; rule < 2; ++rule) {
        for (int i = 0; i < references.size(); ++i) {
            QTest::addRow("%s, reference %s %%", rule ? "guarded" : "simple", qPrintable(references[i]))
                << issue << QStringList { "0.09", "10", "0", references[i] } << rule
                << QStringList { "0.0952", "5.78", "0.0063", expanded[i], factors[i], verdicts[rule * 3 + i] };
        }
    }
    const QStringList noError { "0.0952", "", "0.0057", "", "", "" };
    QTest::newRow("true value 0") << spread << QStringList { "0", "10", "0", "0" } << 0 << noError;
    QTest::newRow("true value not a number") << spread << QStringList { "abc", "10", "0", "0" } << 0 << noError;
    QTest::newRow("true value beyond a float") << spread << QStringList { "1e39", "10", "0", "0" } << 0 << noError;
    QTest::newRow("true value nan") << spread << QStringList { "nan", "10", "0", "0" } << 0 << noError;
    QTest::newRow("true value 10 Sv/h") << spread << QStringList { "1e7", "10", "0", "0" } << 0 << noError;
    QTest::newRow("true value 1e-300: e beyond any width") << spread << QStringList { "1e-300", "10", "0", "0" } << 0
        << QStringList { "0.0952", "", "0.0057", "", "k = 2.14", "FAIL" };
    QTest::newRow("net mean negative") << spread << QStringList { "0.09", "10", "1", "0" } << 0 << noError;
    QTest::newRow("background not a number") << spread << QStringList { "0.09", "10", "x", "0" } << 0 << noError;
    QTest::newRow("reference not a number") << spread << QStringList { "0.09", "10", "0", "x" } << 0
        << QStringList { "0.0952", "5.78", "0.0057", "", "", "" };
    QTest::newRow("reference negative") << spread << QStringList { "0.09", "10", "0", "-3" } << 0
        << QStringList { "0.0952", "5.78", "0.0057", "", "", "" };
    QTest::newRow("negative tolerance") << spread << QStringList { "0.09", "-5", "0", "0" } << 0
        << QStringList { "0.0952", "5.78", "0.0057", "3.06", "k = 2.14", "" };
    QTest::newRow("tolerance 0") << spread << QStringList { "0.09", "0", "0", "0" } << 0
        << QStringList { "0.0952", "5.78", "0.0057", "3.06", "k = 2.14", "" };
    QTest::newRow("tolerance infinite") << spread << QStringList { "0.09", "inf", "0", "0" } << 1
        << QStringList { "0.0952", "5.78", "0.0057", "3.06", "k = 2.14", "" };
    QTest::newRow("a single reading") << "1x16" << normal << 0
        << QStringList { "0.0896", "-0.44", "", "", "", "" };
}

void TestReadings::figuresOfAFullWindow()
{
    QFETCH(QString, readings);
    QFETCH(QStringList, inputs);
    QFETCH(int, rule);
    QFETCH(QStringList, figures);
    Run run;
    ModalWatcher boxes(QMessageBox::Ok); // a window below 20 is raised with a warning
    QList<QPair<int, int>> runs;
    int total = 0;
    for (const QString& part : readings.split(',')) {
        runs << qMakePair(part.section('x', 0, 0).toInt(), part.section('x', 1).toInt());
        total += runs.constLast().first;
    }
    run.SetText("average_group", QString::number(total));
    run.SetText("fixed_value_set", inputs[0]);
    run.SetText("relative_error", inputs[1]);
    run.SetText("background_value", inputs[2]);
    run.SetText("reference_uncertainty", inputs[3]);
    run.Find<QComboBox>("decision_rule")->setCurrentIndex(rule);
    for (const auto& part : runs)
        run.Readings(1, part.second, part.first);
    run.Tick();
    const QStringList shown { run.Text("average_group_3"), run.Text("relative_error_2"),
                              run.Text("standard_deviation"), run.Text("expanded_uncertainty"),
                              run.Text("coverage_factor"), run.Text("calibration_verdict") };
    QCOMPARE(shown, figures);
    QCOMPARE(run.Text("verdict_rule").isEmpty(), figures[5].isEmpty());
}

// A German desktop types a comma; the form's own defaults keep their point.
void TestReadings::typedFigureReadsTheDesktopsLocale()
{
    const QLocale before;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const double comma = TypedFigure::Read("0,09", TypedFigure::DoseRate).value;
    const double point = TypedFigure::Read("0.09", TypedFigure::DoseRate).value;
    const TypedFigure nan = TypedFigure::Read("nan", TypedFigure::NonNegative, 0);
    QLocale::setDefault(before);
    QCOMPARE(comma, 0.09);
    QCOMPARE(point, 0.09);
    QVERIFY(nan.bad && std::isnan(nan.value));
    QCOMPARE(TypedFigure::Kept(double(0.1019199937582016f), 4), QString("0.10192"));
}

// Student's t at p = 95.45 %, computed independently of Boost with mpmath
// 1.3.0 (Python): the root in t of 1 − I_{ν/(ν+t²)}(ν/2, 1/2)/2 = 0.977250,
// at 30 digits; the normal quantile for ν infinite.
// The model itself, by hand (in Python, from the decimal readings) for the
// issue's twenty counts 17,16,18,17,15,19,17,16,18,17 twice (M = 0.0952,
// s = 0.0062941, u(M) term 1.5638 points at T = 0.09, reference 3 %: term
// R × 1.5 = 1.5867):
//   a third term, source distance rectangular ±2 %: R × 2/√3 = 1.2214,
//     u(e) = 2.5406, ν = 19 × (2.5406 / 1.5638)⁴ = 132.4 → 132, k = 2.0191,
//     U(e) = 5.13, N's relative U = 5.13 / R = 4.85 %
//   a background 0.0050 ± 0.0020 (k = 2) from 20 readings: net 0.0902,
//     e = +0.22, u(B) term 100 × 0.001 / 0.09 = 1.1111 (ν 19), reference
//     term 1.0022 × 1.5 = 1.5033, u(e) = 2.4372, ν = 89.3 → 89, U(e) = 4.94
//   a background 0.0900 ± 0.0040: y* = 1.6449 × √(0.0056 × 0.09 / 20 +
//     0.002²) = 0.0089 above the net 0.0052: no error, no verdict
//   counts 10 and 24 in turn: index of dispersion 20 × 49 / 17 = 57.6 above
//     χ²(0.975, 19) = 32.85, a scatter √(57.6 / 19) = 1.7 times counting's
void TestReadings::figuresOfTheModel_data()
{
    QTest::addColumn<QList<int>>("counts");
    QTest::addColumn<QList<double>>("inputs"); // T, tolerance, B, U(B), ν(B), reference U
    QTest::addColumn<double>("distance");      // rectangular half-width, %; 0 for none
    QTest::addColumn<QStringList>("figures");  // e, U(e), k, ν, U of N, verdict
    QTest::addColumn<QString>("remark");
    const QList<int> issue { 17, 16, 18, 17, 15, 19, 17, 16, 18, 17, 17, 16, 18, 17, 15, 19, 17, 16, 18, 17 };
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("three terms, one rectangular") << issue << QList<double> { 0.09, 10, 0, 0, inf, 3 } << 2.0
        << QStringList { "5.78", "5.13", "k = 2.02", "132", "4.85", "PASS" } << "probability that the true error";
    QTest::newRow("background with its u") << issue << QList<double> { 0.09, 10, 0.005, 0.002, 19, 3 } << 0.0
        << QStringList { "0.22", "4.94", "k = 2.03", "89", "4.93", "PASS" } << "probability that the true error";
    QTest::newRow("net mean below the decision threshold") << issue
        << QList<double> { 0.09, 10, 0.09, 0.004, inf, 3 } << 0.0 << QStringList { "", "", "", "", "", "" }
        << "not distinguishable from background: the net mean 0.0052 uSv/h does not exceed the decision threshold "
           "0.0089 uSv/h";
    QList<int> scattered;
    for (int i = 0; i < 10; ++i)
        scattered << 10 << 24;
    QTest::newRow("over-dispersed") << scattered << QList<double> { 0.09, 30, 0, 0, inf, 0 } << 0.0
        << QStringList { "5.78", "21.39", "k = 2.14", "19", "20.22", "PASS" }
        << "readings scatter 1.7 times what counting allows (index of dispersion 57.6, 19 degrees of freedom)";
}

void TestReadings::figuresOfTheModel()
{
    QFETCH(QList<int>, counts);
    QFETCH(QList<double>, inputs);
    QFETCH(double, distance);
    QFETCH(QStringList, figures);
    QFETCH(QString, remark);
    CalibrationFigures model;
    for (int count : counts) {
        Reading reading;
        reading.count = count;
        reading.value = float(FrameProtocol::DoseOfCount(count));
        model.AddReading(reading);
    }
    CalibrationFigures::Inputs in;
    in.trueValue = inputs[0];
    in.tolerance = inputs[1];
    in.background = inputs[2];
    in.backgroundUncertainty = inputs[3];
    in.backgroundDegreesOfFreedom = inputs[4];
    in.referenceUncertainty = inputs[5];
    if (distance > 0) {
        UncertaintyBudget::Component term;
        term.name = "source distance";
        term.value = distance;
        term.distribution = UncertaintyBudget::Rectangular;
        in.budget << term;
    }
    const CalibrationFigures::Result result = model.Evaluate(in);
    const auto text = [](double value, int decimals) {
        return std::isfinite(value) ? QString::number(value, 'f', decimals) : QString();
    };
    QCOMPARE((QStringList { text(result.error, 2), text(result.expandedUncertainty, 2),
                            CalibrationFigures::CoverageText(result.coverageFactor), text(result.degreesOfFreedom, 0),
                            text(result.factorUncertainty, 2), CalibrationFigures::VerdictKey(result.verdict) }),
             figures);
    const QStringList remarks = CalibrationFigures::Remarks(in, result, false);
    QVERIFY2(remarks.filter(remark).size() == 1, qPrintable(remarks.join('\n')));
    if (distance > 0) { // every term of u(e) is listed with its share
        QCOMPARE(result.budget.size(), 3);
        QCOMPARE(result.budget[2].name, QString("source distance"));
        QCOMPARE(text(result.budget[2].u, 4), QString("1.1547"));
        QCOMPARE(text(result.budget[2].contribution, 4), QString("1.2214"));
    }
}

// U(e) = tolerance: the probability that the true error lies within it,
// Student's t with ν = 78 about e = 5.78, u(e) = 2.2277, computed with mpmath
// as 0.28819; and the warning that a simple verdict says little.
void TestReadings::specificRiskWhereUEqualsTheTolerance()
{
    CalibrationFigures model;
    for (int count : { 17, 16, 18, 17, 15, 19, 17, 16, 18, 17, 17, 16, 18, 17, 15, 19, 17, 16, 18, 17 }) {
        Reading reading;
        reading.count = count;
        reading.value = float(FrameProtocol::DoseOfCount(count));
        model.AddReading(reading);
    }
    CalibrationFigures::Inputs in;
    in.trueValue = 0.09;
    in.referenceUncertainty = 3;
    in.tolerance = 10;
    QCOMPARE(QString::number(model.Evaluate(in).probabilityWithin, 'f', 4), QString("0.9691"));
    in.tolerance = model.LastResult().expandedUncertainty;
    const CalibrationFigures::Result result = model.Evaluate(in);
    QCOMPARE(result.verdict, CalibrationFigures::Fail);
    QVERIFY2(std::abs(result.probabilityWithin - 0.2881885946) < 1e-5, qPrintable(QString::number(result.probabilityWithin)));
    // These counts scatter far less than counting allows (index 24/17 = 1.4
    // below χ²(0.025, 19) = 8.91), which is said too.
    const QStringList remarks = CalibrationFigures::Remarks(in, result, false);
    QCOMPARE(remarks.size(), 3);
    QVERIFY(remarks[0].startsWith("readings scatter 0.3 times what counting allows (index of dispersion 1.4,"));
    QVERIFY(remarks[1].startsWith("probability that the true error lies within ±4.52798 %: 28.8 %"));
    QVERIFY(remarks[2].startsWith("U(e) 4.53 is not smaller than the tolerance"));
    in.rule = CalibrationFigures::GuardedAcceptance; // the guarded rule states no risk: it has its own verdict
    QVERIFY(std::isnan(model.Evaluate(in).probabilityWithin));
}

// The lab's budget, edited in its dialog, is kept and enters U(e); a
// shielded run becomes the background with its u and its 19 degrees of
// freedom. The issue's counts at reference 3 % give U(e) 4.53; with a
// rectangular ±2 % term 5.13 (above). As background (20 readings of count 15
// and 17 in turn: mean 0.0896, s = 0.0057455, U = 2 × s/√20 = 0.0025695),
// kept as 0.00257) against T = 0.09 and the readings 10 × 30, 10 × 34 (mean
// 0.1792, s 0.011491): e = (0.0896/0.09 − 1) × 100 = −0.44, u(M) term
// 100 × s/√20/0.09 = 2.8550, u(B) term 100 × 0.001285/0.09 = 1.4278,
// reference 1.5 × 0.9956 = 1.4933, u(e) = 3.5241,
// ν = 3.5241⁴ / (2.8550⁴/19 + 1.4278⁴/19) = 41.5 → 41, k = 2.0628, U(e) = 7.27;
// U(B) typed as 0.00258, ν(B) infinite: u(e) = 3.5264, ν 44, U(e) = 7.26.
void TestReadings::budgetAndMeasuredBackgroundReachTheFigures()
{
    Run run;
    run.SetText("reference_uncertainty", "3");
    run.SetText("relative_error", "10");
    auto* budget = run.window.findChild<BudgetDialog*>();
    run.Click("budget_button");
    QVERIFY(budget->isVisible());
    auto* table = budget->findChild<QTableWidget*>("budget_table");
    QCOMPARE(table->rowCount(), 2); // the reference field and repeatability
    budget->findChild<QPushButton*>("budget_add")->click();
    table->item(2, BudgetDialog::ColumnName)->setText("source distance");
    table->item(2, BudgetDialog::ColumnValue)->setText("abc");
    budget->accept();
    QVERIFY(budget->isVisible()); // a value that is no figure is refused
    table->item(2, BudgetDialog::ColumnValue)->setText("2");
    budget->accept();
    QVERIFY(!budget->isVisible());
    QSettings kept(RecordStore::SettingsPath(), QSettings::IniFormat);
    QCOMPARE(UncertaintyBudget::Load(kept).size(), 3);

    for (int twice = 0; twice < 2; ++twice) {
        for (int count : { 17, 16, 18, 17, 15, 19, 17, 16, 18, 17 })
            run.Reading(1, count);
    }
    run.Tick();
    QCOMPARE(run.Text("expanded_uncertainty"), QString("5.13"));

    // A background measured with the source shielded, then the source.
    run.Click("budget_button");
    table->setCurrentCell(2, 0);
    budget->findChild<QPushButton*>("budget_remove")->click();
    budget->accept();
    QCOMPARE(budget->Components().size(), 2);
    run.Find<QSpinBox>("id_for_potentiometer")->setValue(2);
    run.Find<QSpinBox>("id_for_potentiometer")->setValue(1);
    for (int i = 0; i < 10; ++i) {
        run.Reading(1, 15);
        run.Reading(1, 17);
    }
    run.Tick();
    run.Click("use_as_background_button");
    QCOMPARE(run.Text("background_value"), QString("0.08960"));
    QCOMPARE(run.Text("background_uncertainty"), QString("0.00257"));
    run.Find<QSpinBox>("id_for_potentiometer")->setValue(2);
    run.Find<QSpinBox>("id_for_potentiometer")->setValue(1);
    run.Readings(1, 30, 10);
    run.Readings(1, 34, 10);
    run.Tick();
    QCOMPARE(run.Text("relative_error_2"), QString("-0.44"));
    QCOMPARE(run.Text("expanded_uncertainty"), QString("7.27"));
    QCOMPARE(run.Text("coverage_factor"), QString("k = 2.06"));
    run.SetText("background_uncertainty", "0.00258"); // typed by hand: its ν is infinite
    run.Tick();
    QCOMPARE(run.Text("expanded_uncertainty"), QString("7.26"));
}

void TestReadings::trueValueBelowTheDetectionLimitIsSaidBeforeTheRun()
{
    Run run;
    run.SetText("fixed_value_set", "0.09");
    run.Tick();
    QCOMPARE(run.Text("figures_remarks"), QString());
    run.SetText("background_value", "0.08");
    run.SetText("background_uncertainty", "0.01");
    run.SetText("fixed_value_set", "0.005"); // no tick, no reading yet
    QVERIFY2(run.Text("figures_remarks").startsWith("the true value 0.005 uSv/h lies below the detection limit"),
             qPrintable(run.Text("figures_remarks")));
}

// Each typed figure in its range, marked (and giving none) outside it; the
// same function reads them all.
void TestReadings::typedFiguresOutsideTheirRangeAreMarked_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("bad");
    QTest::newRow("true value 0.09") << "fixed_value_set" << "0.09" << false;
    QTest::newRow("true value abc") << "fixed_value_set" << "abc" << true;
    QTest::newRow("true value nan") << "fixed_value_set" << "nan" << true;
    QTest::newRow("true value 0") << "fixed_value_set" << "0" << true;
    QTest::newRow("true value 10 Sv/h") << "fixed_value_set" << "1e7" << true;
    QTest::newRow("true value just below 10 Sv/h") << "fixed_value_set" << "9999999" << false;
    QTest::newRow("tolerance -5") << "relative_error" << "-5" << true;
    QTest::newRow("tolerance 0") << "relative_error" << "0" << true;
    QTest::newRow("tolerance inf") << "relative_error" << "inf" << true;
    QTest::newRow("reference U abc") << "reference_uncertainty" << "abc" << true;
    QTest::newRow("reference U 0") << "reference_uncertainty" << "0" << false;
    QTest::newRow("reference U empty") << "reference_uncertainty" << "" << false;
    QTest::newRow("background -0.01") << "background_value" << "-0.01" << true;
    QTest::newRow("background U -1") << "background_uncertainty" << "-1" << true;
    QTest::newRow("background U 0.004") << "background_uncertainty" << "0.004" << false;
}

void TestReadings::typedFiguresOutsideTheirRangeAreMarked()
{
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(bool, bad);
    Run run;
    run.SetText(qPrintable(field), text);
    QCOMPARE(run.Find<QLineEdit>(qPrintable(field))->property("bad").toBool(), bad);
    run.SetText(qPrintable(field), field == "relative_error" ? "10" : field == "fixed_value_set" ? "0.09" : "0");
    QVERIFY(!run.Find<QLineEdit>(qPrintable(field))->property("bad").toBool());
}

void TestReadings::coverageFactorAtTheDegreesOfFreedom_data()
{
    QTest::addColumn<double>("degreesOfFreedom");
    QTest::addColumn<double>("k");
    QTest::addColumn<QString>("text"); // as the window shows it
    QTest::newRow("1") << 1.0 << 13.9678114875 << QString("k = 13.97");
    QTest::newRow("2") << 2.0 << 4.52655076008 << QString("k = 4.53");
    QTest::newRow("19") << 19.0 << 2.14049662991 << QString("k = 2.14");
    QTest::newRow("19.9 truncated to 19") << 19.9 << 2.14049662991 << QString("k = 2.14");
    QTest::newRow("24, no table row") << 24.0 << 2.10969882212 << QString("k = 2.11");
    QTest::newRow("78") << 78.0 << 2.03256327535 << QString("k = 2.03");
    QTest::newRow("94.9 truncated to 94") << 94.9 << 2.02694833464 << QString("k = 2.03");
    QTest::newRow("1315") << 1315.0 << 2.00190536292 << QString("k = 2.00");
    QTest::newRow("a million") << 1e6 << 2.00000494391 << QString("k = 2.00");
    QTest::newRow("infinite") << std::numeric_limits<double>::infinity() << 2.0000024439 << QString("k = 2.00");
    QTest::newRow("below 1: none") << 0.5 << std::numeric_limits<double>::quiet_NaN() << QString("");
}

void TestReadings::coverageFactorAtTheDegreesOfFreedom()
{
    QFETCH(double, degreesOfFreedom);
    QFETCH(double, k);
    const double got = CalibrationFigures::CoverageFactor(degreesOfFreedom);
    QVERIFY2(std::abs(got - k) < 1e-9 || (std::isnan(got) && std::isnan(k)), qPrintable(QString::number(got, 'g', 12)));
    QFETCH(QString, text);
    QCOMPARE(CalibrationFigures::CoverageText(got), text);
}

void TestReadings::figuresAndInputsShowFromTheirStart()
{
    Run run;
    run.Readings(1, 18, 20);
    run.Tick();
    QCOMPARE(run.Text("relative_error_2"), QString("12.00"));
    QCOMPARE(run.Find<QLineEdit>("relative_error_2")->cursorPosition(), 0); // shown from its start

    auto* input = run.Find<QLineEdit>("fixed_value_set");
    input->setText("0.0900000000000001");
    QFocusEvent leave(QEvent::FocusOut);
    QApplication::sendEvent(input, &leave);
    QCOMPARE(input->cursorPosition(), 0);
}

void TestReadings::limitsFollowTheirInputs_data()
{
    QTest::addColumn<QString>("tolerance");
    QTest::addColumn<QString>("trueValue");
    QTest::addColumn<QString>("upper");
    QTest::addColumn<QString>("lower");
    QTest::newRow("form defaults") << "10.0" << "0.09" << "0.099" << "0.081";
    QTest::newRow("twenty percent") << "20" << "0.09" << "0.108" << "0.072";
    QTest::newRow("six significant digits") << "10" << "1000000" << "1.1e+06" << "900000";
    QTest::newRow("true value not a number") << "10" << "abc" << "" << "";
    QTest::newRow("true value beyond a float") << "10" << "1e39" << "" << "";
    QTest::newRow("tolerance not a number") << "x" << "0.09" << "" << "";
    QTest::newRow("tolerance negative") << "-5" << "0.09" << "" << "";
}

void TestReadings::limitsFollowTheirInputs()
{
    QFETCH(QString, tolerance);
    QFETCH(QString, trueValue);
    QFETCH(QString, upper);
    QFETCH(QString, lower);
    WindowRig rig;
    QCOMPARE(rig.Text("average_group_4"), QString("0.099")); // from the start
    QCOMPARE(rig.Text("average_group_5"), QString("0.081"));
    rig.SetText("fixed_value_set", trueValue);
    rig.SetText("relative_error", tolerance);
    QCOMPARE(rig.Text("average_group_4"), upper);
    QCOMPARE(rig.Text("average_group_5"), lower);
}

void TestReadings::averageNumberBelowTwentyIsRaisedWithOneWarning()
{
    Run run;
    ModalWatcher watcher;
    run.SetText("average_group", "5");
    run.Tick();
    QTRY_COMPARE(watcher.boxes, QStringList { kWarning });
    QCOMPARE(run.Text("average_group"), QString("20"));
    run.Tick();
    run.SetText("average_group", "20"); // twenty itself passes
    run.Tick();
    run.SetText("average_group", "19"); // the sentinel: the next box
    run.Tick();
    QTRY_COMPARE(watcher.boxes.size(), 2);
    run.Readings(1, 16, 20);
    QCOMPARE(run.Text("average_group_3"), QString("0.0896"));
}

// The box does not hold the table back: a tick while it is open still adds
// its row.
void TestReadings::rowsKeepComingBehindTheWarning()
{
    Run run;
    ModalWatcher watcher(QMessageBox::Ok);
    watcher.SetHoldMs(60000); // answered only once the test looked
    run.SetText("average_group", "5");
    run.Reading(1, 16);
    run.Tick();
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box && box->isVisible());
    run.Reading(1, 18);
    run.Tick();
    QCOMPARE(QApplication::activeModalWidget(), box);
    QCOMPARE(run.Table()->rowCount(), 2);
    QCOMPARE(run.Cell(1, 2), QString("0.1008"));
    watcher.SetHoldMs(0);
    QTRY_COMPARE(watcher.boxes, QStringList { kWarning });
    QTRY_VERIFY(!QApplication::activeModalWidget());
}

void TestReadings::averageNumberIsTruncated()
{
    Run run;
    run.SetText("average_group", "25.9");
    run.Readings(1, 16, 24);
    QCOMPARE(run.Text("average_group_3"), QString("0.0"));
    run.Reading(1, 16);
    QCOMPARE(run.Text("average_group_3"), QString("0.0896"));
}

void TestReadings::loweringTheAverageNumberTrimsTheWindow()
{
    Run run;
    run.SetText("average_group", "30");
    run.Readings(1, 1000, 10);
    run.Readings(1, 16, 20);
    QCOMPARE(run.Text("average_group_3"), QString("1.9264"));
    run.SetText("average_group", "20");
    run.Reading(1, 16); // the newest twenty are all 0.0896
    QTRY_COMPARE(run.Text("average_group_3"), QString("0.0896"));
}

void TestReadings::tickAddsOneRowWithTheNewestReading()
{
    Run run;
    run.Tick();
    QCOMPARE(run.Table()->rowCount(), 0); // nothing new yet
    run.Reading(1, 16);
    run.Reading(1, 1000);
    run.Tick();
    run.Tick();
    QCOMPARE(run.Table()->rowCount(), 1);
    QCOMPARE(run.Cell(0, 2), QString("5.6000"));
    QVERIFY2(QRegularExpression(R"(^\d{4}\.\d\d\.\d\d\.\d\d:\d\d:\d\d$)").match(run.Cell(0, 1)).hasMatch(),
             qPrintable(run.Cell(0, 1)));
    QCOMPARE(run.Cell(0, 3), QString("1"));
    QCOMPARE(run.Cell(0, 0), QString());
    run.Reading(1, 16);
    run.Tick();
    QCOMPARE(run.Cell(1, 2), QString("0.0896"));
    QCOMPARE(run.Cell(1, 3), QString("2"));
}

void TestReadings::readingIdChangeStartsAFreshTable()
{
    Run run;
    run.SetText("fixed_value_set", "0.5"); // node 1 reads far too low: FAIL
    run.Readings(1, 16, 20);
    run.Tick();
    QCOMPARE(run.Text("calibration_verdict"), CalibrationFigures::VerdictText(CalibrationFigures::Fail));
    QVERIFY(!run.Text("expanded_uncertainty").isEmpty());
    for (int i = 0; i < 3; ++i) {
        run.Reading(1, 16);
        run.Tick();
    }
    QCOMPARE(run.Table()->rowCount(), 4);
    run.Reading(1, 16); // arrives, but the id changes before the tick
    run.Find<QSpinBox>("id_for_potentiometer")->setValue(2);
    QCOMPARE(run.Table()->rowCount(), 0);
    // Node 1's figures are gone at once, and stay gone while node 2 fills.
    for (const char* name : { "average_group_3", "relative_error_2", "variable_conefficient", "standard_deviation",
                              "expanded_uncertainty", "coverage_factor", "calibration_verdict", "verdict_rule" })
        QVERIFY2(run.Text(name).isEmpty(), name);
    run.Readings(2, 89, 10);
    run.Tick();
    QVERIFY(run.Text("calibration_verdict").isEmpty());
    QVERIFY(run.Text("expanded_uncertainty").isEmpty());
    run.Readings(2, 89, 10);
    run.Tick();
    QCOMPARE(run.Text("calibration_verdict"), CalibrationFigures::VerdictText(CalibrationFigures::Pass));
    run.Find<QSpinBox>("id_for_potentiometer")->setValue(1);
    run.Find<QSpinBox>("id_for_potentiometer")->setValue(2);
    run.Tick();
    QCOMPARE(run.Table()->rowCount(), 0);
    run.Reading(2, 32);
    run.Tick();
    QCOMPARE(run.Table()->rowCount(), 1);
    QCOMPARE(run.Cell(0, 3), QString("1"));
    QCOMPARE(run.Cell(0, 2), QString("0.1792"));
}

void TestReadings::foreignOrStoppedReadingsChangeNothing()
{
    Run run;
    run.Readings(2, 16, 25); // another node
    run.Tick();
    QCOMPARE(run.Table()->rowCount(), 0);
    QCOMPARE(run.Text("average_group_3"), QString("0.0"));

    run.Find<QCheckBox>("calibration_check_box")->setChecked(false);
    run.Readings(1, 16, 25);
    run.Tick();
    QCOMPARE(run.Table()->rowCount(), 0);
    QCOMPARE(run.Text("average_group_3"), QString("0.0"));
    QCOMPARE(run.Text("variable_conefficient"), QString());
}

void TestReadings::zeroReadingsAndNonNumbersDivideByNothing()
{
    Run run;
    ModalWatcher watcher;
    run.SetText("average_group", "abc"); // N reads as 0 until the next tick
    run.Readings(1, 16, 3);
    QCOMPARE(run.Text("average_group_3"), QString("0.0"));
    run.Tick();
    QTRY_COMPARE(watcher.boxes, QStringList { kWarning });

    run.Readings(1, 0, 20); // a silent detector
    run.SetText("fixed_value_set", "zero");
    run.Tick();
    QCOMPARE(run.Text("average_group_3"), QString("0.0000"));
    QCOMPARE(run.Text("relative_error_2"), QString());
    QCOMPARE(run.Text("variable_conefficient"), QString());
}

// Long realistic figures and table cells, on a desktop with the fonts the
// package brings, in a window that fills the free area of common screens
// (less a taskbar and a title bar): every text shows whole, the state line
// stays in sight, and a page with too little room scrolls.
void TestReadings::everyTextShowsWhole_data()
{
    QTest::addColumn<QString>("language");
    QTest::addColumn<QSize>("screen");
    QTest::addColumn<QStringList>("figures"); // mean, upper, lower, variation, error
    QTest::addColumn<QStringList>("cells");   // reading, row number
    const QPair<const char*, QSize> screens[] = { { "1366x768", QSize(1366, 700) },
                                                  { "1440x900", QSize(1440, 832) },
                                                  { "1280x1024", QSize(1280, 956) } };
    for (const char* language : { ConsoleLanguage::kEnglish, ConsoleLanguage::kChinese }) {
        for (const auto& screen : screens) {
            QTest::addRow("%s %s typical", language, screen.first)
                << language << screen.second << QStringList { "0.1104", "0.0945", "0.0855", "23.45", "22.22" }
                << QStringList { "0.1512", "9" };
            QTest::addRow("%s %s wide", language, screen.first)
                << language << screen.second << QStringList { "5138.0000", "1e+06", "-0.081", "123.45", "12345.67" }
                << QStringList { "5138.0000", "9999" };
            QTest::addRow("%s %s largest", language, screen.first)
                << language << screen.second << QStringList { "93952.4040", "0.099", "-0.099", "0.00", "-211.11" }
                << QStringList { "93952.4040", "99999" };
        }
    }
}

void TestReadings::everyTextShowsWhole()
{
    QFETCH(QString, language);
    QFETCH(QSize, screen);
    QFETCH(QStringList, figures);
    QFETCH(QStringList, cells);
    const ConsoleLanguage speaking(language);
    Run run;
    for (int row = 0; row < 3; ++row) {
        run.Reading(1, 16);
        run.Tick();
    }
    const char* const names[] = { "average_group_3", "average_group_4", "average_group_5" };
    for (int i = 0; i < 3; ++i)
        run.Find<QLabel>(names[i])->setText(figures[i]);
    run.SetText("variable_conefficient", figures[3]);
    run.SetText("relative_error_2", figures[4]);
    QTableWidget* table = run.Table();
    table->item(2, 2)->setText(cells[0]);
    table->item(2, 3)->setText(cells[1]);
    table->setItem(2, 0, new QTableWidgetItem("64+"));

    // A page added once the window is made scrolls as well.
    auto* later = new QWidget;
    (new QVBoxLayout(later))->addWidget(new QLabel(QString("a later page\n").repeated(80)));
    run.Find<QTabWidget>("tabWidget")->addTab(later, "later");

    run.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&run.window));
    const QSize least = run.window.minimumSize();
    QVERIFY2(least.width() <= screen.width() && least.height() <= screen.height(),
             qPrintable(QString("%1 x %2").arg(least.width()).arg(least.height())));
    run.window.resize(screen);
    auto* tabs = run.Find<QTabWidget>("tabWidget");
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        QApplication::processEvents();
        auto* state = run.Find<QFrame>("frame");
        QVERIFY(state->isVisible());
        QVERIFY(run.window.rect().contains(QRect(state->mapTo(&run.window, QPoint()), state->size())));
        // What does not fit can be scrolled to.
        auto* area = tabs->currentWidget()->findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly);
        QVERIFY(area);
        const QSize contents = area->widget()->size();
        const QSize view = area->viewport()->size();
        QVERIFY(contents.width() <= view.width() || area->horizontalScrollBar()->isVisible());
        QVERIFY(contents.height() <= view.height() || area->verticalScrollBar()->isVisible());
        for (QWidget* widget : run.window.findChildren<QWidget*>()) {
            if (widget->objectName().isEmpty() || widget->objectName().startsWith("qt_")
                || !widget->isVisible() || qobject_cast<QAbstractSpinBox*>(widget->parentWidget()))
                continue;
            const QFontMetrics metrics = widget->fontMetrics();
            const QString name = widget->objectName();
            if (auto* label = qobject_cast<QLabel*>(widget)) {
                const QRect room = label->contentsRect();
                QVERIFY2(metrics.horizontalAdvance(label->text()) <= room.width(), qPrintable(name));
                QVERIFY2(metrics.height() <= room.height(), qPrintable(name));
            } else if (auto* edit = qobject_cast<QLineEdit*>(widget)) {
                // A text that fits needs no scrolling: its ends lie as far
                // apart as it is wide.
                edit->setCursorPosition(0);
                const int start = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().x();
                edit->setCursorPosition(edit->text().size());
                const int end = edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().x();
                QVERIFY2(end - start >= metrics.horizontalAdvance(edit->text()) - 1, qPrintable(name));
                QVERIFY2(metrics.height() <= edit->height(), qPrintable(name));
            } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
                // The style's own margins, without the width it prefers for
                // any button.
                const int frame = button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
                const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
                QVERIFY2(metrics.horizontalAdvance(button->text()) + margin + 2 * frame <= button->width(),
                         qPrintable(name + QString(" %1 %2 %3 %4").arg(metrics.horizontalAdvance(button->text())).arg(margin).arg(frame).arg(button->width())));
                QVERIFY2(metrics.height() <= button->height(), qPrintable(name));
            } else if (qobject_cast<QAbstractButton*>(widget) || qobject_cast<QAbstractSpinBox*>(widget)
                       || qobject_cast<QComboBox*>(widget)) {
                const QSize needed = widget->minimumSizeHint();
                QVERIFY2(widget->width() >= needed.width() && widget->height() >= needed.height(),
                         qPrintable(name));
            }
        }
    }

    tabs->setCurrentWidget(run.Find<QWidget>("tab_for_potentiometer"));
    QApplication::processEvents();
    const int margin = table->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, table) + 1;
    for (int column = 0; column < table->columnCount(); ++column) {
        const QTableWidgetItem* item = table->item(2, column);
        const QRect cell = table->visualItemRect(item);
        const QString where = QString("column %1: %2").arg(column).arg(item->text());
        QVERIFY2(table->viewport()->rect().contains(cell), qPrintable(where));
        QVERIFY2(table->fontMetrics().horizontalAdvance(item->text()) <= cell.width() - 2 * margin, qPrintable(where));
        QVERIFY2(table->fontMetrics().height() <= cell.height(), qPrintable(where));
    }
}

// A page is laid out when first shown, and the window makes room for it
// then, within the screen, even where the operator had made it smaller. The
// next window opens as this one was closed.
void TestReadings::pageFirstShownGetsItsRoom()
{
    WindowRig rig;
    auto* tabs = rig.Find<QTabWidget>("tabWidget");
    auto* wide = new QWidget;
    auto* label = new QLabel(QString("a wide line ").repeated(30));
    (new QVBoxLayout(wide))->addWidget(label);
    tabs->addTab(wide, "wide");
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    rig.window.resize(300, 300);
    QApplication::processEvents();
    QVERIFY(rig.window.width() < label->sizeHint().width());
    tabs->setCurrentWidget(wide);
    QApplication::processEvents();
    QVERIFY(wide->findChild<QScrollArea*>(QString(), Qt::FindDirectChildrenOnly));
    const int room = rig.window.screen()->availableGeometry().width();
    QCOMPARE(rig.window.width(), qMin(room, rig.window.sizeHint().width()));
    QVERIFY(rig.window.width() > 300);
    QVERIFY(label->isVisible());

    rig.window.resize(rig.window.width() - 20, 310);
    QApplication::processEvents();
    const QSize left = rig.window.size();
    QVERIFY(rig.window.close());
    SetwiseDosegate again;
    QCOMPARE(again.size(), left);
}

// Every text a user reads, by widget: captions, tab titles, list items,
// table headers, tooltips, the trend's legend. What stays as it is in
// Chinese: names, units, numbers and paths.
void TestReadings::everyTextReadsInChinese()
{
    const ConsoleLanguage speaking(ConsoleLanguage::kChinese);
    Run run;
    for (const char* box : { "m_pCheckBox_on", "m_pCheckBox_lan", "m_pCheckBox_alarm" })
        run.Click(box); // their labels change with them
    // Every page and dialog, as each makes its widgets when first opened.
    auto* tabs = run.Find<QTabWidget>("tabWidget");
    for (int page = 0; page < tabs->count(); ++page)
        tabs->setCurrentIndex(page);
    for (QDialog* dialog : run.window.findChildren<QDialog*>()) {
        dialog->open();
        dialog->reject();
    }
    QStringList texts { "window title: " + run.window.windowTitle() };
    for (const QAbstractSeries* series : run.Trend()->chart()->series())
        texts << "trend: " + series->name();
    for (QWidget* widget : run.window.findChildren<QWidget*>()) {
        const QString name = widget->objectName() + ": ";
        QStringList shown { widget->toolTip() };
        if (auto* label = qobject_cast<QLabel*>(widget))
            shown << label->text();
        else if (auto* button = qobject_cast<QAbstractButton*>(widget))
            shown << button->text();
        else if (auto* spin = qobject_cast<QSpinBox*>(widget))
            shown << spin->prefix() << spin->suffix();
        else if (auto* edit = qobject_cast<QTextEdit*>(widget))
            shown << edit->toPlainText();
        else if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            for (int i = 0; i < combo->count(); ++i)
                shown << combo->itemText(i);
        } else if (auto* tabs = qobject_cast<QTabWidget*>(widget)) {
            for (int i = 0; i < tabs->count(); ++i)
                shown << tabs->tabText(i);
        } else if (auto* table = qobject_cast<QTableView*>(widget)) {
            for (int column = 0; column < table->model()->columnCount(); ++column)
                shown << table->model()->headerData(column, Qt::Horizontal).toString();
        }
        for (const QString& text : shown) {
            if (!text.trimmed().isEmpty())
                texts << name + text;
        }
    }
    static const QRegularExpression kept("ZORVEK|DT-[A-D]|\\b(Cs|Co|Am|Ra)-[0-9]+\\b|\\b(ID|IP|Gy|Rad|Sv|kPa)\\b|[uμm]Sv/h|V[0-9.]+|(/[^/\\s，：]+)+");
    static const QRegularExpression english("[A-Za-z]{2,}");
    int chinese = 0;
    for (const QString& text : texts) {
        QString left = text.mid(text.indexOf(": ") + 2);
        QVERIFY2(!left.remove(kept).contains(english), qPrintable(text));
        chinese += text.contains(QRegularExpression("\\p{Han}")) ? 1 : 0;
    }
    QVERIFY2(chinese > texts.size() / 2, qPrintable(texts.join('\n'))); // the walk read the window
}

void TestReadings::trendFollowsTheTable()
{
    Run run;
    ModalWatcher boxes(QMessageBox::Ok);
    run.Readings(1, 16, 19);
    run.Reading(1, 18); // the window is full: 19 × 0.0896 and 0.1008
    ReadingTrend* trend = run.Trend();
    QCOMPARE(trend->ReadingSeries()->count(), 20);
    QCOMPARE(trend->ReadingSeries()->at(19), QPointF(20, double(float(18 * 0.0056))));
    QCOMPARE(trend->MeanSeries().constLast()->points().size(), 1);
    QCOMPARE(trend->MeanSeries().constLast()->at(0).x(), 20.0);
    QCOMPARE(Level(trend->LimitSeries(1)), 0.099f);
    QCOMPARE(trend->BandSeries().constLast()->upperSeries()->count(), 0); // no uncertainty yet

    run.Tick();
    run.Reading(1, 16); // a mean with its band: mean ± U(e) × T / 100
    trend = run.Trend();
    const QPointF mean = trend->MeanSeries().constLast()->points().constLast();
    const QAreaSeries* band = trend->BandSeries().constLast();
    QCOMPARE(band->upperSeries()->count(), 1);
    QCOMPARE(band->upperSeries()->at(0).x(), mean.x());
    const double halfWidth = (band->upperSeries()->at(0).y() - band->lowerSeries()->at(0).y()) / 2;
    QCOMPARE(band->upperSeries()->at(0).y() - halfWidth, mean.y());
    run.Tick();
    QCOMPARE(QString::number(halfWidth / 0.09 * 100, 'f', 2), run.Text("expanded_uncertainty"));

    QMetaObject::invokeMethod(&run.window, "Analytical", Q_ARG(int, 1), Q_ARG(int, 0),
                              Q_ARG(int, FrameProtocol::ReplyPotentiometerUp));
    run.Readings(1, 16, 20); // the averaging starts again after the step
    trend = run.Trend();
    QCOMPARE(trend->StepSeries()->points(), (QList<QPointF> { trend->ReadingSeries()->at(20) }));
    QCOMPARE(trend->MeanSeries().size(), 2);
    QCOMPARE(trend->BandSeries().size(), 2);
    QCOMPARE(trend->MeanSeries().constLast()->points().size(), 1);
    QCOMPARE(trend->MeanSeries().constLast()->at(0).x(), 41.0);

    // A chart made later, as one built when its page is first shown, draws
    // the same run from the session's data.
    ReadingTrend late;
    late.SetData(&run.window.findChild<ConsoleSession*>()->Trend());
    late.Refresh();
    QCOMPARE(late.ReadingSeries()->points(), trend->ReadingSeries()->points());
    QCOMPARE(late.StepSeries()->points(), trend->StepSeries()->points());
    QCOMPARE(late.MeanSeries().size(), 2);
    for (int stretch = 0; stretch < 2; ++stretch) {
        QCOMPARE(late.MeanSeries()[stretch]->points(), trend->MeanSeries()[stretch]->points());
        QCOMPARE(late.BandSeries()[stretch]->upperSeries()->points(),
                 trend->BandSeries()[stretch]->upperSeries()->points());
    }
    QCOMPARE(Level(late.LimitSeries(1)), 0.099f);

    run.SetText("fixed_value_set", "1");
    QCOMPARE(Level(run.Trend()->LimitSeries(0)), 1.0f);
    run.Find<QSpinBox>("id_for_potentiometer")->setValue(2);
    trend = run.Trend();
    QCOMPARE(trend->ReadingSeries()->count(), 0);
    QCOMPARE(trend->StepSeries()->count(), 0);
    QCOMPARE(trend->MeanSeries().size(), 1);
    QCOMPARE(trend->MeanSeries().constFirst()->count(), 0);
    late.Refresh();
    QCOMPARE(late.ReadingSeries()->count(), 0);
    QCOMPARE(late.MeanSeries().size(), 1);
}

void TestReadings::trendLabelsFitTheAxis_data()
{
    QTest::addColumn<int>("height");
    QTest::addColumn<double>("scale"); // of the doses
    QTest::newRow("least height") << 180 << 1.0;
    QTest::newRow("medium height") << 320 << 1.0;
    QTest::newRow("tall, high doses") << 900 << 1000.0;
    QTest::newRow("least height, tiny spread") << 180 << 0.001;
}

// However high the axis, its labels have room to be whole and say apart
// what their ticks mean.
void TestReadings::trendLabelsFitTheAxis()
{
    QFETCH(int, height);
    QFETCH(double, scale);
    ReadingTrend trend;
    trend.resize(640, height);
    trend.SetLimits(0.09 * scale, 0.099 * scale, 0.081 * scale);
    for (int count : { 16, 18, 15, 20, 14, 17 })
        trend.AddReading(count * 0.0056 * scale);
    trend.show();
    QVERIFY(QTest::qWaitForWindowExposed(&trend));
    trend.Refresh();
    QTRY_VERIFY(trend.chart()->plotArea().height() > 0);
    QCoreApplication::processEvents();
    const auto* axis = qobject_cast<QValueAxis*>(trend.chart()->axes(Qt::Vertical).constFirst());
    QVERIFY(axis->tickCount() >= 2);
    const double pitch = trend.chart()->plotArea().height() / (axis->tickCount() - 1);
    QVERIFY2(pitch >= 1.5 * QFontMetricsF(axis->labelsFont()).height(), qPrintable(QString::number(pitch)));
    QStringList labels;
    const double step = (axis->max() - axis->min()) / (axis->tickCount() - 1);
    for (int i = 0; i < axis->tickCount(); ++i)
        labels << QString::asprintf(qPrintable(axis->labelFormat()), axis->min() + i * step);
    QCOMPARE(QSet<QString>(labels.begin(), labels.end()).size(), labels.size());
    QVERIFY(axis->min() <= 14 * 0.0056 * scale && axis->max() >= 20 * 0.0056 * scale);
}

void TestReadings::longTrendIsThinnedKeepingItsExtremes()
{
    TrendEnvelope envelope;
    for (int x = 1; x <= 10000; ++x)
        envelope.Append(QPointF(x, x == 1234 ? 5.0 : x == 4321 ? -5.0 : 0.1 * (x % 7)));
    const QVector<QPointF> points = envelope.Points();
    QVERIFY(points.size() <= 2 * TrendEnvelope::kMaxBuckets + 2);
    QVERIFY(points.contains(QPointF(1234, 5.0)) && points.contains(QPointF(4321, -5.0)));
    QCOMPARE(points.constFirst().x(), 1.0);
    QCOMPARE(points.constLast().x(), 10000.0);
    QVERIFY(std::is_sorted(points.begin(), points.end(),
                           [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));
}

// One journal per table: continued across a stop and a start, a new one
// with a new reading id. Each line is on disk as soon as it is accepted.
void TestReadings::journalKeepsEveryAcceptedReading()
{
    Run run;
    run.Reading(1, 16);
    QCOMPARE(run.Journals().size(), 1);
    QVERIFY2(QRegularExpression(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}(Z|[+-]\d\d:\d\d),1,16,0\.0896,1$)")
                 .match(run.Journals()[0].value(0))
                 .hasMatch(),
             qPrintable(run.Journals()[0].value(0)));
    run.Tick();
    run.Reading(2, 16); // another node: not accepted
    run.Reading(1, 917500);
    run.Reading(1, 18); // the same tick's row shows this one
    QCOMPARE(run.Journals()[0].size(), 3);
    QVERIFY(run.Journals()[0][1].endsWith(",1,917500,5138.0000,2"));
    QVERIFY(run.Journals()[0][2].endsWith(",1,18,0.1008,2"));

    auto* box = run.Find<QCheckBox>("calibration_check_box");
    box->click();
    box->click();
    run.Reading(1, 16);
    QCOMPARE(run.Journals().size(), 1);
    QCOMPARE(run.Journals()[0].size(), 4);

    run.Find<QSpinBox>("id_for_potentiometer")->setValue(3);
    QCOMPARE(run.Journals().size(), 1); // opened by the first reading
    run.Reading(3, 32);
    QCOMPARE(run.Runs().entryList({ "*_id3.csv" }).size(), 1);
    QVERIFY(run.Journals()[1][0].endsWith(",3,32,0.1792,1"));
}

// A folder that cannot be made, then a disk that fills up (a file-size
// limit stands in): one log line each, and the run goes on.
void TestReadings::journalThatCannotBeWrittenLeavesTheRunGoing()
{
    Run run;
    QFile blocker(run.Runs().absolutePath()); // a file where the folder should be
    QVERIFY(QDir().mkpath(QFileInfo(blocker).path()) && blocker.open(QIODevice::WriteOnly));
    StdoutCapture capture;
    run.Readings(1, 16, 3);
    run.Tick();
    QCOMPARE(capture.Finish().count("cannot create"), 1);
    QCOMPARE(run.Table()->rowCount(), 1);
    QVERIFY(blocker.remove());

    run.Find<QSpinBox>("id_for_potentiometer")->setValue(2);
    StdoutCapture full;
    {
        const FileSizeLimit limit(1000);
        QVERIFY(limit.IsSet());
        run.Readings(2, 16, 40);
        run.Tick();
    }
    // The system's reason, and no line cut short: a file-size limit lets
    // part of a line through.
    const QByteArray log = full.Finish();
    QCOMPARE(log.count("cannot write"), 1);
    QVERIFY2(log.contains(QByteArray(": ") + QByteArray(std::strerror(EFBIG)) + ";"), log.constData());
    QCOMPARE(run.Journals().size(), 1);
    QVERIFY(run.Journals()[0].size() > 10 && run.Journals()[0].size() < 40);
    QFile journal(run.Runs().filePath(run.Runs().entryList({ "*_id2.csv" }).value(0)));
    QVERIFY(journal.open(QIODevice::ReadOnly));
    QVERIFY(journal.readAll().endsWith(",1\n"));
    QCOMPARE(run.Table()->rowCount(), 1);
    QCOMPARE(run.Trend()->ReadingCount(), 40);
}

QTEST_MAIN(TestReadings)
#include "tst_readings.moc"
