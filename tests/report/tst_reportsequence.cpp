// The automation operations a report write issues, in order, with their
// name strings and arguments; and how a refused operation ends the write.
#include "AxRecorder.h"
#include "ReportExport.h"
#include "ReportInputs.h"

#include <QColor>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

namespace {

using O = AxOperation::Object;
using T = AxOperation::Type;

struct Step
{
    O object;
    T type;
    QByteArray name;
    QVariantList args;
};
using Steps = QVector<Step>;

Steps Opening()
{
    return {
        {O::None, T::Bind, "Excel.Application", {}},
        {O::Application, T::Call, "SetVisible (bool Visible)", {QStringLiteral("false")}},
        {O::Application, T::Set, "DisplayAlerts", {false}},
        {O::Application, T::SubObject, "WorkBooks", {}},
        {O::Workbooks, T::Call, "Add", {}},
        {O::Application, T::SubObject, "ActiveWorkBook", {}},
        {O::Workbook, T::SubObject, "Worksheets(int)", {1}},
    };
}

Steps Text(int nRow, int nColumn, const QString& text)
{
    return {
        {O::Worksheet, T::SubObject, "Cells(int,int)", {nRow, nColumn}},
        {O::Cell, T::Call, "SetValue(const QString&)", {text}},
    };
}

Steps FontSize(int nSize)
{
    return {
        {O::Cell, T::SubObject, "Font", {}},
        {O::Font, T::Set, "Size", {nSize}},
    };
}

Steps Range(const QString& address)
{
    return {{O::Worksheet, T::SubObject, "Range(const QString&)", {address}}};
}

Steps RowHeight(const char* rows, int nHeight)
{
    return Range(QString::fromLatin1(rows)) + Steps{{O::Range, T::Set, "RowHeight", {nHeight}}};
}

Steps MergeAndCentre(O target)
{
    return {
        {target, T::Set, "WrapText", {true}},
        {target, T::Set, "MergeCells", {true}},
        {target, T::Set, "HorizontalAlignment", {-4108}},
        {target, T::Set, "VerticalAlignment", {-4108}},
    };
}

Steps TitleAndCaptions()
{
    return Text(1, 1, QStringLiteral("Serial number:  000000")) + FontSize(12) + RowHeight("1:1", 60)
        + Range("A1:C1") + MergeAndCentre(O::Range)
        + Text(2, 1, QStringLiteral("Time")) + FontSize(16) + MergeAndCentre(O::Cell)
        + Text(2, 2, QStringLiteral("Measurement value")) + FontSize(16) + MergeAndCentre(O::Cell)
        + Text(2, 3, QStringLiteral("Serial Number")) + FontSize(16) + MergeAndCentre(O::Cell);
}

Steps StatisticsLine(int nRow, const QString& text, const QString& merge)
{
    return Text(nRow, 1, text) + FontSize(10) + Range(merge) + MergeAndCentre(O::Range);
}

// The lines of ReportInputs::Statistics(), from the given row on.
Steps StatisticsBlock(int nFirstRow)
{
    const QString lines[] = {
        QStringLiteral("True value;10.00"),
        QStringLiteral("Relative inherent error;-2.50%"),
        QStringLiteral("coefficient of variation;3.10%"),
        QStringLiteral("Report Time;2024.03.05.14:07:09"),
        QStringLiteral("Background;0.0050"),
        QStringLiteral("Standard deviation;0.0123"),
        QStringLiteral("Expanded uncertainty;4.14% (k = 2.05)"),
        QStringLiteral("Decision rule;guarded acceptance"),
        QStringLiteral("Verdict;INCONCLUSIVE"),
    };
    Steps steps;
    int nRow = nFirstRow;
    for (const QString& line : lines) {
        steps += StatisticsLine(nRow, line, QStringLiteral("A%1:B%1").arg(nRow));
        ++nRow;
    }
    return steps;
}

Steps Frame(const char* block, const char* rows)
{
    return Range(block)
        + Steps{
            {O::Range, T::SubObject, "Borders", {}},
            {O::Borders, T::Set, "LineStyle", {QStringLiteral("1")}},
            {O::Range, T::SubObject, "Borders", {}},
            {O::Borders, T::Set, "Color", {QColor(0, 0, 0, 255)}},
        }
        + RowHeight(rows, 20);
}

Steps Closing(const QString& path)
{
    return {
        {O::Workbook, T::Call, "SaveAs(const QString&)", {path}},
        {O::Workbook, T::Call, "Close()", {}},
        {O::Application, T::Call, "Quit()", {}},
        {O::Application, T::Release, "", {}},
    };
}

QString Describe(const AxOperation& op)
{
    QStringList texts;
    for (const QVariant& arg : op.args)
        texts << QStringLiteral("%1(%2)").arg(QLatin1String(arg.typeName()), arg.toString());
    return QStringLiteral("object %1 type %2 \"%3\" [%4]%5")
        .arg(int(op.object))
        .arg(int(op.type))
        .arg(QString::fromLatin1(op.name), texts.join(QStringLiteral(", ")),
             op.ok ? QString() : QStringLiteral(" refused"));
}

bool Same(const AxOperation& actual, const Step& expected)
{
    if (actual.object != expected.object || actual.type != expected.type || actual.name != expected.name
        || actual.args.size() != expected.args.size() || !actual.ok)
        return false;
    for (int i = 0; i < actual.args.size(); ++i) {
        const QVariant& a = actual.args.at(i);
        const QVariant& e = expected.args.at(i);
        if (a.userType() != e.userType() || a != e)
            return false;
    }
    return true;
}

void CompareSteps(const QVector<AxOperation>& actual, const Steps& expected)
{
    for (int i = 0; i < qMin(actual.size(), expected.size()); ++i) {
        const QString message = QStringLiteral("operation %1: got %2, expected %3")
                                    .arg(i)
                                    .arg(Describe(actual.at(i)), Describe({expected.at(i).object, expected.at(i).type,
                                                                           expected.at(i).name, expected.at(i).args}));
        QVERIFY2(Same(actual.at(i), expected.at(i)), qPrintable(message));
    }
    QCOMPARE(actual.size(), expected.size());
}

int IndexOf(const QVector<AxOperation>& ops, const char* name)
{
    for (int i = 0; i < ops.size(); ++i) {
        if (ops.at(i).name == name)
            return i;
    }
    return -1;
}

} // namespace

class TestReportSequence : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void emptyTable();
    void threeRows();
    void bindFailure();
    void unsupportedColumnCount_data();
    void unsupportedColumnCount();
    void refusedOperationEndsTheWrite();

private:
    QVector<AxOperation> Record(int nRows, const QString& path, ReportExport::Result* pResult,
                                int nRefused = -1);

    QScopedPointer<QTemporaryDir> m_pDir;
};

void TestReportSequence::init()
{
    m_pDir.reset(new QTemporaryDir);
    QVERIFY(m_pDir->isValid());
}

QVector<AxOperation> TestReportSequence::Record(int nRows, const QString& path, ReportExport::Result* pResult,
                                                int nRefused)
{
    AxRecorder recorder;
    recorder.RefuseOperation(nRefused);
    *pResult = ReportExport::Write(ReportInputs::Table(nRows), ReportInputs::kTitle, ReportInputs::Statistics(), path,
                                   &recorder);
    return recorder.Operations();
}

void TestReportSequence::emptyTable()
{
    const QString path = m_pDir->filePath(QStringLiteral("empty.xlsx"));
    ReportExport::Result result;
    const QVector<AxOperation> ops = Record(0, path, &result);
    QCOMPARE(result.outcome, ReportExport::Written);
    QCOMPARE(result.message, QString());

    const Steps expected = Opening() + TitleAndCaptions()
        + StatisticsBlock(3)
        + Frame("A2:C2", "2:2") + Closing(path);
    CompareSteps(ops, expected);
}

void TestReportSequence::threeRows()
{
    const QString path = m_pDir->filePath(QStringLiteral("three.xlsx"));
    ReportExport::Result result;
    const QVector<AxOperation> ops = Record(3, path, &result);
    QCOMPARE(result.outcome, ReportExport::Written);

    const Steps expected = Opening() + TitleAndCaptions()
        + Text(3, 1, QStringLiteral("2024.03.05.14:07:01")) + Text(3, 2, QStringLiteral("0.09"))
        + Text(3, 3, QStringLiteral("1"))
        + Text(4, 1, QStringLiteral("2024.03.05.14:07:03")) + Text(4, 2, QString())
        + Text(4, 3, QStringLiteral("2"))
        + Text(5, 1, QStringLiteral("2024.03.05.14:07:05")) + Text(5, 2, QStringLiteral("12.34"))
        + Text(5, 3, QStringLiteral("3"))
        + StatisticsBlock(6)
        + Frame("A2:C5", "2:5") + Closing(path);
    CompareSteps(ops, expected);
}

void TestReportSequence::bindFailure()
{
    const QString path = m_pDir->filePath(QStringLiteral("unbound.xlsx"));
    ReportExport::Result result;
    const QVector<AxOperation> ops = Record(3, path, &result, 0);
    QCOMPARE(result.outcome, ReportExport::BindFailed);
    QCOMPARE(result.message, QStringLiteral("Failed to create Excel object, please install Microsoft Excel."));
    QCOMPARE(ops.size(), 2);
    QCOMPARE(ops.at(0).type, T::Bind);
    QVERIFY(!ops.at(0).ok);
    QCOMPARE(ops.at(1).type, T::Release);
    QCOMPARE(ops.at(1).object, O::None);
    QVERIFY(QDir(m_pDir->path()).isEmpty());
}

void TestReportSequence::unsupportedColumnCount_data()
{
    QTest::addColumn<int>("columns");
    QTest::newRow("none") << 0;
    QTest::newRow("only the step mark") << 1;
    QTest::newRow("more columns than captions") << 5;
}

void TestReportSequence::unsupportedColumnCount()
{
    QFETCH(int, columns);
    const ReportExport::Table table{columns, {QStringList(), QStringList()}};
    AxRecorder recorder;
    const QString path = m_pDir->filePath(QStringLiteral("odd.xlsx"));
    const ReportExport::Result result =
        ReportExport::Write(table, ReportInputs::kTitle, ReportInputs::Statistics(), path, &recorder);
    QCOMPARE(result.outcome, ReportExport::Failed);
    QCOMPARE(result.message, QStringLiteral("The report could not be saved to %1: the table has %2 columns, the report "
                                            "takes 2 to 4").arg(QDir::toNativeSeparators(path)).arg(columns));
    QVERIFY(recorder.Operations().isEmpty());
    QVERIFY(QDir(m_pDir->path()).isEmpty());
}

void TestReportSequence::refusedOperationEndsTheWrite()
{
    ReportExport::Result result;
    const QVector<AxOperation> reference = Record(1, m_pDir->filePath(QStringLiteral("reference.xlsx")), &result);
    QCOMPARE(result.outcome, ReportExport::Written);
    const int nBook = IndexOf(reference, "ActiveWorkBook");
    const int nSave = IndexOf(reference, "SaveAs(const QString&)");
    const int nClose = IndexOf(reference, "Close()");
    const int nQuit = IndexOf(reference, "Quit()");
    QVERIFY(nBook > 0 && nSave > nBook && nClose == nSave + 1 && nQuit == nClose + 1);

    // Every operation between the bind and the release, refused in turn.
    for (int nRefused = 1; nRefused < reference.size() - 1; ++nRefused) {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("report.xlsx"));
        const QVector<AxOperation> ops = Record(1, path, &result, nRefused);
        const QString context = QStringLiteral("refusing %1: %2").arg(nRefused).arg(Describe(reference.at(nRefused)));
        QVERIFY2(result.outcome == ReportExport::Failed, qPrintable(context));
        // In the operator's words: the path, what went wrong, no name of the automation interface.
        const QString opening = nRefused > nSave
            ? QStringLiteral("The report was saved to %1, but the spreadsheet could not be closed cleanly: ")
            : QStringLiteral("The report could not be saved to %1: ");
        QVERIFY2(result.message.startsWith(opening.arg(path) + QStringLiteral("the spreadsheet refused to ")),
                 qPrintable(context + QLatin1Char('\n') + result.message));
        const QString words = QString(result.message).remove(path);
        QVERIFY2(!words.contains(QString::fromLatin1(reference.at(nRefused).name)), qPrintable(result.message));

        QVERIFY2(ops.size() > nRefused && !ops.at(nRefused).ok, qPrintable(context));
        QStringList tail;
        for (int i = nRefused + 1; i < ops.size(); ++i)
            tail << QString::fromLatin1(ops.at(i).name);
        QStringList expectedTail;
        if (nRefused > nBook && nRefused < nClose)
            expectedTail << QStringLiteral("Close()");
        if (nRefused < nQuit)
            expectedTail << QStringLiteral("Quit()");
        expectedTail << QString();
        QVERIFY2(tail == expectedTail, qPrintable(context + QStringLiteral("; tail: ") + tail.join(QLatin1Char('|'))));

        // Once saved, the file is complete; before that, none is written.
        const QStringList expectedFiles =
            nRefused > nSave ? QStringList{QStringLiteral("report.xlsx")} : QStringList();
        QVERIFY2(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot) == expectedFiles,
                 qPrintable(context));
    }
}

QTEST_MAIN(TestReportSequence)
#include "tst_reportsequence.moc"
