#include "SheetModel.h"

void SheetModel::SetText(const CellRange& area, const QString& text)
{
    for (int nRow = area.FirstRow(); nRow <= area.LastRow(); ++nRow) {
        for (int nColumn = area.FirstColumn(); nColumn <= area.LastColumn(); ++nColumn)
            At(nRow, nColumn).text = text;
    }
}

SheetModel::Cell& SheetModel::At(int nRow, int nColumn)
{
    const quint64 nKey = Key(nRow, nColumn);
    const auto inserted = m_cells.try_emplace(nKey);
    if (inserted.second)
        m_listCellOrder.push_back(nKey);
    return inserted.first->second;
}

bool SheetModel::Merge(const CellRange& area, QString* pError)
{
    if (area.IsSingleCell())
        return true;
    for (const CellRange& merged : qAsConst(m_listMerges)) {
        if (merged == area)
            return true;
        if (merged.Intersects(area)) {
            *pError = QStringLiteral("%1 overlaps the merged cells %2").arg(area.ToString(), merged.ToString());
            return false;
        }
    }
    // As the spreadsheet does with its alerts off: only the top-left text survives.
    ClearHiddenTexts(area);
    m_listMerges.append(area);
    return true;
}

void SheetModel::ClearHiddenTexts(const CellRange& area)
{
    const auto hidden = [&area](int nRow, int nColumn) {
        return !(nRow == area.FirstRow() && nColumn == area.FirstColumn());
    };
    if (quint64(area.CellCount()) > m_cells.size()) {
        for (auto& entry : m_cells) {
            const int nRow = RowOf(entry.first);
            const int nColumn = ColumnOf(entry.first);
            if (area.Contains(nRow, nColumn) && hidden(nRow, nColumn))
                entry.second.text.clear();
        }
        return;
    }
    for (int nRow = area.FirstRow(); nRow <= area.LastRow(); ++nRow) {
        for (int nColumn = area.FirstColumn(); nColumn <= area.LastColumn(); ++nColumn) {
            const auto it = m_cells.find(Key(nRow, nColumn));
            if (it != m_cells.end() && hidden(nRow, nColumn))
                it->second.text.clear();
        }
    }
}

void SheetModel::Unmerge(const CellRange& area)
{
    for (int i = m_listMerges.size() - 1; i >= 0; --i) {
        if (m_listMerges.at(i).Intersects(area))
            m_listMerges.remove(i);
    }
}

void SheetModel::SetRowHeight(int nFirstRow, int nLastRow, double fHeight)
{
    for (int nRow = nFirstRow; nRow <= nLastRow; ++nRow)
        m_rowHeights[nRow] = fHeight;
}
