#include "XlWorksheet.h"

#include "CellRange.h"
#include "XlRange.h"

XlWorksheet::XlWorksheet(AppModel* pApp, BookModel* pBook, SheetModel* pSheet)
    : AxNode(Object::Worksheet, pApp, pBook)
    , m_pSheet(pSheet)
{
}

std::unique_ptr<AxNode> XlWorksheet::Sub(const char* name, const Arguments& args, QString* pError)
{
    if (Is(name, "Cells(int,int)"))
        return Cell(args, pError);
    if (Is(name, "Range(const QString&)"))
        return Range(args, pError);
    return AxNode::Sub(name, args, pError);
}

std::unique_ptr<AxNode> XlWorksheet::Cell(const Arguments& args, QString* pError)
{
    int nRow = 0;
    int nColumn = 0;
    if (!CheckCount(args, 2, pError))
        return nullptr;
    if (!ToInt(args.at(0), &nRow) || !ToInt(args.at(1), &nColumn)) {
        Reject(ToInt(args.at(0), &nRow) ? args.at(1) : args.at(0), "a row or column number", pError);
        return nullptr;
    }
    const CellRange cell = CellRange::Cell(nRow, nColumn);
    if (!cell.IsValid()) {
        *pError = QStringLiteral("row %1, column %2 is outside the sheet").arg(nRow).arg(nColumn);
        return nullptr;
    }
    return std::make_unique<XlRange>(Object::Cell, App(), Book(), m_pSheet, cell);
}

std::unique_ptr<AxNode> XlWorksheet::Range(const Arguments& args, QString* pError)
{
    QString address;
    CellRange range;
    if (!CheckCount(args, 1, pError))
        return nullptr;
    if (!ToText(args.at(0), &address) || !CellRange::Parse(address, &range)) {
        Reject(args.at(0), "a cell address", pError);
        return nullptr;
    }
    return std::make_unique<XlRange>(Object::Range, App(), Book(), m_pSheet, range);
}
