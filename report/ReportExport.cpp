#include "ReportExport.h"

#include "AxObject.h"

#include <QColor>
#include <QDir>

constexpr int kTitleFontSize = 12;
constexpr int kTitleRowHeight = 60;
constexpr int kCaptionFontSize = 16;
constexpr int kStatisticsFontSize = 10;
constexpr int kTableRowHeight = 20;
constexpr int kAlignCentre = -4108; // the spreadsheet's centre alignment

namespace {

// A figure that could not be had is left empty, without its unit.
QString Percent(const QString& figure)
{
    return figure.isEmpty() ? QString() : figure + QLatin1Char('%');
}

} // namespace

ReportExport::ReportExport(AxObject& app, const Table& table)
    : m_app(app)
    , m_table(table)
    , m_lastColumn(QChar(char('A' + table.nColumns - 2)))
{
}

QStringList ReportExport::HeaderLabels()
{
    return {QStringLiteral("Number of lines"), QStringLiteral("Time"), QStringLiteral("Measurement value"),
            QStringLiteral("Serial Number")};
}

ReportExport::Result ReportExport::Write(const Table& table, const QString& title, const Statistics& statistics,
                                         const QString& path, AxRecorder* pRecorder)
{
    const QString target = QDir::toNativeSeparators(path);
    const QString notSaved = tr("The report could not be saved to %1: %2");
    const int nCaptions = HeaderLabels().size();
    if (table.nColumns < 2 || table.nColumns > nCaptions)
        return {Failed, notSaved.arg(target, tr("the table has %1 columns, the report takes 2 to %2")
                                                 .arg(table.nColumns)
                                                 .arg(nCaptions))};
    AxObject app(pRecorder);
    if (!app.setControl(QStringLiteral("Excel.Application")))
        return {BindFailed, tr("Failed to create Excel object, please install Microsoft Excel.")};

    ReportExport report(app, table);
    report.Open();
    report.WriteTitle(title);
    report.WriteCaptions();
    report.WriteData();
    report.WriteStatistics(statistics);
    report.WriteFrame();
    report.Call(report.m_pBook, "SaveAs(const QString&)", target);
    const QString writeError = report.m_bOk ? QString() : app.lastError();
    const QString finishError = report.Finish();
    if (!writeError.isEmpty())
        return {Failed, notSaved.arg(target, writeError)};
    // The file is complete once saved: only the spreadsheet is left in doubt.
    if (!finishError.isEmpty())
        return {Failed, tr("The report was saved to %1, but the spreadsheet could not be closed cleanly: %2")
                            .arg(target, finishError)};
    return {Written, QString()};
}

void ReportExport::Open()
{
    Call(&m_app, "SetVisible (bool Visible)", QStringLiteral("false"));
    Set(&m_app, "DisplayAlerts", false);
    Call(Sub(&m_app, "WorkBooks"), "Add");
    m_pBook = Sub(&m_app, "ActiveWorkBook");
    m_pSheet = Sub(m_pBook, "Worksheets(int)", 1);
}

void ReportExport::WriteTitle(const QString& title)
{
    SetCell(1, 1, title, kTitleFontSize);
    Set(Sub(m_pSheet, "Range(const QString&)", QStringLiteral("1:1")), "RowHeight", kTitleRowHeight);
    MergeAndCentre(Sub(m_pSheet, "Range(const QString&)", QStringLiteral("A1:") + m_lastColumn + QLatin1Char('1')));
}

void ReportExport::WriteCaptions()
{
    const QStringList labels = HeaderLabels();
    for (int nColumn = 1; nColumn < m_table.nColumns; ++nColumn)
        MergeAndCentre(SetCell(2, nColumn, labels.at(nColumn), kCaptionFontSize));
}

void ReportExport::WriteData()
{
    for (int nRow = 0; nRow < m_table.rows.size() && m_bOk; ++nRow) {
        for (int nColumn = 1; nColumn < m_table.nColumns; ++nColumn)
            SetCell(nRow + 3, nColumn, m_table.rows.at(nRow).value(nColumn), 0);
    }
}

void ReportExport::WriteStatistics(const Statistics& statistics)
{
    const QString lines[] = {
        QStringLiteral("True value;") + statistics.trueValue,
        QStringLiteral("Relative inherent error;") + Percent(statistics.relativeError),
        QStringLiteral("coefficient of variation;") + Percent(statistics.variation),
        QStringLiteral("Report Time;") + statistics.reportTime.toString(QStringLiteral("yyyy.MM.dd.hh:mm:ss")),
        QStringLiteral("Background;") + statistics.background,
        QStringLiteral("Standard deviation;") + statistics.standardDeviation,
        QStringLiteral("Expanded uncertainty;")
            + (statistics.expandedUncertainty.isEmpty()
                   ? QString()
                   : Percent(statistics.expandedUncertainty) + QStringLiteral(" (") + statistics.coverageFactor
                       + QLatin1Char(')')),
        QStringLiteral("Decision rule;") + statistics.decisionRule,
        QStringLiteral("Verdict;") + statistics.verdict,
    };
    int nRow = m_table.rows.size() + 3;
    for (const QString& line : lines) {
        SetCell(nRow, 1, line, kStatisticsFontSize);
        // Each line is merged across A and B of its own row.
        MergeAndCentre(Sub(m_pSheet, "Range(const QString&)", QStringLiteral("A%1:B%1").arg(nRow)));
        ++nRow;
    }
}

void ReportExport::WriteFrame()
{
    const QString lastRow = QString::number(m_table.rows.size() + 2);
    AxObject* pBlock = Sub(m_pSheet, "Range(const QString&)", QStringLiteral("A2:") + m_lastColumn + lastRow);
    Set(Sub(pBlock, "Borders"), "LineStyle", QStringLiteral("1"));
    Set(Sub(pBlock, "Borders"), "Color", QColor(0, 0, 0, 255));
    Set(Sub(m_pSheet, "Range(const QString&)", QStringLiteral("2:") + lastRow), "RowHeight", kTableRowHeight);
}

QString ReportExport::Finish()
{
    // Closed and quit after a failure too, so that no hidden spreadsheet is
    // left running; the first of their failures is told.
    const bool bClosed = !m_pBook || m_pBook->dynamicCall("Close()").isValid();
    const QString closeError = bClosed ? QString() : m_app.lastError();
    const bool bQuit = m_app.dynamicCall("Quit()").isValid();
    return bClosed && !bQuit ? m_app.lastError() : closeError;
}

AxObject* ReportExport::SetCell(int nRow, int nColumn, const QString& text, int nFontSize)
{
    AxObject* pCell = Sub(m_pSheet, "Cells(int,int)", nRow, nColumn);
    Call(pCell, "SetValue(const QString&)", text);
    if (nFontSize)
        Set(Sub(pCell, "Font"), "Size", nFontSize);
    return pCell;
}

void ReportExport::MergeAndCentre(AxObject* pTarget)
{
    Set(pTarget, "WrapText", true);
    Set(pTarget, "MergeCells", true);
    Set(pTarget, "HorizontalAlignment", kAlignCentre);
    Set(pTarget, "VerticalAlignment", kAlignCentre);
}

void ReportExport::Call(AxObject* pObject, const char* name, const QVariant& arg)
{
    m_bOk = m_bOk && pObject->dynamicCall(name, arg).isValid();
}

void ReportExport::Set(AxObject* pObject, const char* name, const QVariant& value)
{
    m_bOk = m_bOk && pObject->setProperty(name, value);
}

AxObject* ReportExport::Sub(AxObject* pObject, const char* name, const QVariant& arg1, const QVariant& arg2)
{
    AxObject* pSub = m_bOk ? pObject->querySubObject(name, arg1, arg2) : nullptr;
    m_bOk = pSub != nullptr;
    return pSub;
}
