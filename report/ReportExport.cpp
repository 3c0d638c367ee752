#include "ReportExport.h"

#include "AxObject.h"

#include <QColor>
#include <QDir>
#include <QTableWidget>

struct ReportExport::Sheet
{
    AxObject* pSheet;
    int nRows;        // table rows
    int nColumns;     // table columns, column 0 included
    QString lastColumn;
    QString* pError;
};

QString ReportExport::BindFailedMessage()
{
    return QStringLiteral("Failed to create Excel object, please install Microsoft Excel.");
}

QStringList ReportExport::HeaderLabels()
{
    return {QStringLiteral("Number of lines"), QStringLiteral("Time"), QStringLiteral("Measurement value"),
            QStringLiteral("Serial Number")};
}

ReportExport::Result ReportExport::Write(const QTableWidget& table, const QString& title,
                                         const Statistics& statistics, const QString& path, AxRecorder* pRecorder)
{
    const int nColumns = table.columnCount();
    if (nColumns < 2 || nColumns > HeaderLabels().size()) {
        return {Failed, Failure(path, QStringLiteral("The table has %1 columns; the report takes 2 to %2.")
                                          .arg(nColumns)
                                          .arg(HeaderLabels().size()))};
    }
    AxObject app;
    app.setRecorder(pRecorder);
    if (!app.setControl(QStringLiteral("Excel.Application")))
        return {BindFailed, BindFailedMessage()};

    QString error;
    AxObject* pBook = nullptr;
    Sheet sheet{nullptr, table.rowCount(), nColumns, QString(QLatin1Char(char('A' + nColumns - 2))), &error};
    const bool bWritten = Open(app, &pBook, &sheet.pSheet, &error) && WriteTitle(sheet, title)
        && WriteCaptions(sheet) && WriteData(sheet, table) && WriteStatistics(sheet, statistics)
        && WriteFrame(sheet) && Save(*pBook, path, &error);
    // Close and quit after a failure too, so no hidden application is left.
    QString finishError;
    const bool bFinished = Finish(app, pBook, &finishError);
    if (bWritten && bFinished)
        return {Written, QString()};
    return {Failed, Failure(path, bWritten ? finishError : error)};
}

QString ReportExport::Failure(const QString& path, const QString& reason)
{
    return QStringLiteral("The report could not be written to \"%1\".\n%2")
        .arg(QDir::toNativeSeparators(path), reason);
}

bool ReportExport::Open(AxObject& app, AxObject** ppBook, AxObject** ppSheet, QString* pError)
{
    if (!Call(app, "SetVisible (bool Visible)", pError, QStringLiteral("false"))
        || !Set(app, "DisplayAlerts", false, pError))
        return false;
    AxObject* pBooks = Sub(app, "WorkBooks", pError);
    if (!pBooks || !Call(*pBooks, "Add", pError))
        return false;
    *ppBook = Sub(app, "ActiveWorkBook", pError);
    *ppSheet = *ppBook ? Sub(**ppBook, "Worksheets(int)", pError, 1) : nullptr;
    return *ppSheet;
}

bool ReportExport::WriteTitle(Sheet& sheet, const QString& title)
{
    if (!SetCell(sheet, 1, 1, title, kTitleFontSize))
        return false;
    AxObject* pRow = Sub(*sheet.pSheet, "Range(const QString&)", sheet.pError, QStringLiteral("1:1"));
    if (!pRow || !Set(*pRow, "RowHeight", kTitleRowHeight, sheet.pError))
        return false;
    AxObject* pTitle = Sub(*sheet.pSheet, "Range(const QString&)", sheet.pError,
                           QStringLiteral("A1:%1").arg(sheet.lastColumn + QLatin1Char('1')));
    return pTitle && MergeAndCentre(*pTitle, sheet.pError);
}

bool ReportExport::WriteCaptions(Sheet& sheet)
{
    const QStringList labels = HeaderLabels();
    for (int nColumn = 1; nColumn < sheet.nColumns; ++nColumn) {
        AxObject* pCell = SetCell(sheet, 2, nColumn, labels.at(nColumn), kCaptionFontSize);
        if (!pCell || !MergeAndCentre(*pCell, sheet.pError))
            return false;
    }
    return true;
}

bool ReportExport::WriteData(Sheet& sheet, const QTableWidget& table)
{
    for (int nRow = 0; nRow < sheet.nRows; ++nRow) {
        for (int nColumn = 1; nColumn < sheet.nColumns; ++nColumn) {
            const QTableWidgetItem* pItem = table.item(nRow, nColumn);
            if (!SetCell(sheet, nRow + 3, nColumn, pItem ? pItem->text() : QString(), 0))
                return false;
        }
    }
    return true;
}

bool ReportExport::WriteStatistics(Sheet& sheet, const Statistics& statistics)
{
    const QString lines[] = {
        QStringLiteral("True value;") + statistics.trueValue,
        QStringLiteral("Relative inherent error;") + statistics.relativeError + QLatin1Char('%'),
        QStringLiteral("coefficient of variation;") + statistics.variation + QLatin1Char('%'),
        QStringLiteral("Report Time;") + statistics.reportTime.toString(QStringLiteral("yyyy.MM.dd.hh:mm:ss")),
    };
    int nRow = sheet.nRows + 3;
    for (const QString& line : lines) {
        if (!SetCell(sheet, nRow, 1, line, kStatisticsFontSize))
            return false;
        // Each line is merged across A and B of its own row.
        const QString address = QStringLiteral("A%1:B%1").arg(nRow);
        AxObject* pLine = Sub(*sheet.pSheet, "Range(const QString&)", sheet.pError, address);
        if (!pLine || !MergeAndCentre(*pLine, sheet.pError))
            return false;
        ++nRow;
    }
    return true;
}

bool ReportExport::WriteFrame(Sheet& sheet)
{
    const QString lastRow = QString::number(sheet.nRows + 2);
    AxObject* pBlock = Sub(*sheet.pSheet, "Range(const QString&)", sheet.pError,
                           QStringLiteral("A2:") + sheet.lastColumn + lastRow);
    AxObject* pLines = pBlock ? Sub(*pBlock, "Borders", sheet.pError) : nullptr;
    if (!pLines || !Set(*pLines, "LineStyle", QStringLiteral("1"), sheet.pError))
        return false;
    AxObject* pColours = Sub(*pBlock, "Borders", sheet.pError);
    if (!pColours || !Set(*pColours, "Color", QColor(0, 0, 0, 255), sheet.pError))
        return false;
    AxObject* pRows = Sub(*sheet.pSheet, "Range(const QString&)", sheet.pError, QStringLiteral("2:") + lastRow);
    return pRows && Set(*pRows, "RowHeight", kTableRowHeight, sheet.pError);
}

bool ReportExport::Save(AxObject& book, const QString& path, QString* pError)
{
    return Call(book, "SaveAs(const QString&)", pError, QDir::toNativeSeparators(path));
}

bool ReportExport::Finish(AxObject& app, AxObject* pBook, QString* pError)
{
    const bool bClosed = !pBook || Call(*pBook, "Close()", pError);
    QString quitError;
    const bool bQuit = Call(app, "Quit()", &quitError);
    if (bClosed && !bQuit)
        *pError = quitError;
    return bClosed && bQuit;
}

AxObject* ReportExport::SetCell(Sheet& sheet, int nRow, int nColumn, const QString& text, int nFontSize)
{
    AxObject* pCell = Sub(*sheet.pSheet, "Cells(int,int)", sheet.pError, nRow, nColumn);
    if (!pCell || !Call(*pCell, "SetValue(const QString&)", sheet.pError, text))
        return nullptr;
    if (nFontSize == 0)
        return pCell;
    AxObject* pFont = Sub(*pCell, "Font", sheet.pError);
    return pFont && Set(*pFont, "Size", nFontSize, sheet.pError) ? pCell : nullptr;
}

bool ReportExport::MergeAndCentre(AxObject& target, QString* pError)
{
    return Set(target, "WrapText", true, pError) && Set(target, "MergeCells", true, pError)
        && Set(target, "HorizontalAlignment", kAlignCentre, pError)
        && Set(target, "VerticalAlignment", kAlignCentre, pError);
}

bool ReportExport::Call(AxObject& object, const char* name, QString* pError, const QVariant& arg)
{
    if (object.dynamicCall(name, arg).isValid())
        return true;
    *pError = object.lastError();
    return false;
}

bool ReportExport::Set(AxObject& object, const char* name, const QVariant& value, QString* pError)
{
    if (object.setProperty(name, value))
        return true;
    *pError = object.lastError();
    return false;
}

AxObject* ReportExport::Sub(AxObject& object, const char* name, QString* pError, const QVariant& arg1,
                            const QVariant& arg2)
{
    AxObject* pSub = object.querySubObject(name, arg1, arg2);
    if (!pSub)
        *pError = object.lastError();
    return pSub;
}
