#ifndef DOSEGATE_SHEETMODEL_H
#define DOSEGATE_SHEETMODEL_H

#include "CellFormat.h"
#include "CellRange.h"

#include <QString>
#include <QVector>

#include <map>
#include <unordered_map>
#include <vector>

// Contents of one worksheet: cell texts with their accumulated formats,
// merged areas and row heights.
class SheetModel
{
public:
    struct Cell
    {
        QString text;
        CellFormat format;
    };
    using CellMap = std::unordered_map<quint64, Cell>;

    // Larger ranges are refused rather than expanded cell by cell.
    static constexpr qint64 kMaxRangeCells = qint64(1) << 22;
    static constexpr int kMaxTextLength = 32767;
    static constexpr double kMaxHeight = 409;

    static quint64 Key(int nRow, int nColumn) { return quint64(nRow) << 16 | quint64(nColumn); }
    static int RowOf(quint64 nKey) { return int(nKey >> 16); }
    static int ColumnOf(quint64 nKey) { return int(nKey & 0xFFFF); }

    void SetText(const CellRange& area, const QString& text);
    template <typename Change>
    void ChangeFormat(const CellRange& area, Change change);
    bool Merge(const CellRange& area, QString* pError);
    void Unmerge(const CellRange& area);
    void SetRowHeight(int nFirstRow, int nLastRow, double fHeight);

    const CellMap& Cells() const { return m_cells; }
    // Keys in the order the cells were first touched, which makes the
    // written file a function of the operations alone.
    const std::vector<quint64>& CellOrder() const { return m_listCellOrder; }
    const QVector<CellRange>& Merges() const { return m_listMerges; }
    const std::map<int, double>& RowHeights() const { return m_rowHeights; }

private:
    Cell& At(int nRow, int nColumn);
    void ClearHiddenTexts(const CellRange& area);

    CellMap m_cells;
    std::vector<quint64> m_listCellOrder;
    QVector<CellRange> m_listMerges;
    std::map<int, double> m_rowHeights;
};

template <typename Change>
void SheetModel::ChangeFormat(const CellRange& area, Change change)
{
    for (int nRow = area.FirstRow(); nRow <= area.LastRow(); ++nRow) {
        for (int nColumn = area.FirstColumn(); nColumn <= area.LastColumn(); ++nColumn)
            change(At(nRow, nColumn).format);
    }
}

#endif
