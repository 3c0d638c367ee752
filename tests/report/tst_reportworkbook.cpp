// Reports read back by an independent reader (openpyxl), which checks the
// whole sheet layout against the inputs.
#include "MissingTool.h"
#include "ReportExport.h"
#include "ReportInputs.h"
#include "WorkbookReader.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace {

QJsonObject Inputs(const ReportExport::Table& table, const QString& title)
{
    QJsonArray rows;
    for (const QStringList& row : table.rows)
        rows.append(QJsonArray::fromStringList(row));
    return {
        {QStringLiteral("title"), title},
        {QStringLiteral("columns"), table.nColumns},
        {QStringLiteral("rows"), rows},
        {QStringLiteral("true_value"), QStringLiteral("10.00")},
        {QStringLiteral("relative_error"), QStringLiteral("-2.50")},
        {QStringLiteral("variation"), QStringLiteral("3.10")},
        {QStringLiteral("time"), QStringLiteral("2024.03.05.14:07:09")},
        {QStringLiteral("background"), QStringLiteral("0.0050")},
        {QStringLiteral("standard_deviation"), QStringLiteral("0.0123")},
        {QStringLiteral("expanded_uncertainty"), QStringLiteral("4.14% (k = 2.05)")},
        {QStringLiteral("decision_rule"), QStringLiteral("guarded acceptance")},
        {QStringLiteral("verdict"), QStringLiteral("INCONCLUSIVE")},
    };
}

} // namespace

class TestReportWorkbook : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void layoutReadsBack_data();
    void layoutReadsBack();
    void readerNoticesADifferentTitle();

private:
    int Check(int nRows, const QString& expectedTitle, QString* pOutput);

    QTemporaryDir m_dir;
};

void TestReportWorkbook::initTestCase()
{
    QVERIFY(m_dir.isValid());
    if (WorkbookReader::Python().isEmpty())
        SKIP_FOR_MISSING_TOOL(WorkbookReader::kMissing);
}

int TestReportWorkbook::Check(int nRows, const QString& expectedTitle, QString* pOutput)
{
    const ReportExport::Table table = ReportInputs::Table(nRows);
    const QString name = QStringLiteral("report-%1-%2").arg(nRows).arg(qHash(expectedTitle));
    const QString path = m_dir.filePath(name + QStringLiteral(".xlsx"));
    const ReportExport::Result result =
        ReportExport::Write(table, ReportInputs::kTitle, ReportInputs::Statistics(), path);
    if (result.outcome != ReportExport::Written) {
        *pOutput = result.message;
        return -1;
    }
    QFile inputs(m_dir.filePath(name + QStringLiteral(".json")));
    if (!inputs.open(QIODevice::WriteOnly)
        || inputs.write(QJsonDocument(Inputs(table, expectedTitle)).toJson()) < 0 || !inputs.flush()) {
        *pOutput = inputs.errorString();
        return -1;
    }
    QProcess reader;
    reader.setProcessChannelMode(QProcess::MergedChannels);
    reader.start(WorkbookReader::Python(), {QStringLiteral(CHECK_REPORT_SCRIPT), path, inputs.fileName()});
    if (!reader.waitForFinished(120000) || reader.exitStatus() != QProcess::NormalExit) {
        *pOutput = reader.errorString();
        return -1;
    }
    *pOutput = QString::fromUtf8(reader.readAll());
    return reader.exitCode();
}

void TestReportWorkbook::layoutReadsBack_data()
{
    QTest::addColumn<int>("rows");
    QTest::newRow("no rows") << 0;
    QTest::newRow("three rows, one without an item") << 3;
}

void TestReportWorkbook::layoutReadsBack()
{
    QFETCH(int, rows);
    QString output;
    // The form's default serial text leaves two blanks after the colon.
    const int nExit = Check(rows, QStringLiteral("Serial number:  000000"), &output);
    QVERIFY2(nExit == 0, qPrintable(output));
}

void TestReportWorkbook::readerNoticesADifferentTitle()
{
    QString output;
    const int nExit = Check(3, QStringLiteral("Serial number: 000000"), &output);
    QCOMPARE(nExit, 1);
    QVERIFY2(output.contains(QLatin1String("text of A1")), qPrintable(output));
}

QTEST_MAIN(TestReportWorkbook)
#include "tst_reportworkbook.moc"
