#include "SheetModel.h"

#include <QRegularExpression>

#include <algorithm>

bool SheetModel::Parse(const QString& address, Area* pArea)
{
    // Both corners name a column, or neither does and the address is one of whole rows.
    static const QRegularExpression pattern(QStringLiteral("^([A-Z]?)([1-9]\\d{0,6}):([A-Z]?)([1-9]\\d{0,6})$"));
    const QRegularExpressionMatch match = pattern.match(address);
    const auto column = [&match](int nGroup, int nWhole) {
        return match.capturedLength(nGroup) ? match.captured(nGroup).at(0).unicode() - 'A' + 1 : nWhole;
    };
    *pArea = {match.captured(2).toInt(), column(1, 1), match.captured(4).toInt(), column(3, kMaxColumn)};
    return match.hasMatch() && match.capturedLength(1) == match.capturedLength(3) && pArea->nLastRow <= kMaxRow
        && pArea->nFirstRow <= pArea->nLastRow && pArea->nFirstColumn <= pArea->nLastColumn;
}

bool SheetModel::Merge(const Area& area, QString* pError)
{
    const int nSpan = area.nLastColumn - area.nFirstColumn + 1;
    if (area.nFirstRow == area.nLastRow) {
        ChangeCells(area, [](Cell&) {}); // so that every cell of the area is there
        const auto first = RowAt(area.nFirstRow).cells.begin() + (area.nFirstColumn - 1);
        if (nSpan == 1 || first->nSpan == nSpan)
            return true; // a single cell, or merged already
        if (std::all_of(first, first + nSpan, [](const Cell& cell) { return cell.nSpan == 1; })) {
            std::for_each(first, first + nSpan, [](Cell& cell) { cell.nSpan = 0; });
            first->nSpan = quint8(nSpan);
            return true;
        }
    }
    *pError = QStringLiteral("merged cells lie within one row and apart from other merged cells");
    return false;
}

void SheetModel::SetRowHeight(const Area& area, double fHeight)
{
    for (int nRow = area.nFirstRow; nRow <= area.nLastRow; ++nRow)
        RowAt(nRow).fHeight = fHeight;
}

SheetModel::Row& SheetModel::RowAt(int nRow)
{
    if (int(m_listRows.size()) < nRow)
        m_listRows.resize(size_t(nRow));
    return m_listRows[size_t(nRow - 1)];
}
