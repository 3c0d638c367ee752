#ifndef DOSEGATE_SHEETMODEL_H
#define DOSEGATE_SHEETMODEL_H

#include <QRgb>
#include <QString>

#include <algorithm>
#include <vector>

// The one worksheet of a report: what its layout uses and nothing more.
// Rows and columns count from 1; columns run from A to Z, and a merge
// stays within its row.
class SheetModel
{
public:
    static constexpr int kMaxRow = 1048576;
    static constexpr int kMaxColumn = 26;

    // A rectangle of cells; whole rows ("2:5") run from A to Z.
    struct Area
    {
        int nFirstRow = 0;
        int nFirstColumn = 0;
        int nLastRow = 0;
        int nLastColumn = 0;
    };

    struct Cell
    {
        enum Flag : quint8 { Wrap = 1, Centred = 2, Middle = 4, Border = 8 };

        QString text;
        QRgb nBorderColour = 0; // 0: the automatic colour
        quint16 nFontSize = 0;  // 0: the workbook's default
        quint8 nSpan = 1;       // columns merged from here on; 0 in a merge begun to the left
        quint8 nFlags = 0;
    };

    struct Row
    {
        std::vector<Cell> cells; // as far as the last cell touched
        double fHeight = -1;     // negative: the default height
    };

    // "A1:C5" or "1:3", the first corner first.
    static bool Parse(const QString& address, Area* pArea);

    template <typename Change>
    void ChangeCells(const Area& area, Change change);
    bool Merge(const Area& area, QString* pError);
    void SetRowHeight(const Area& area, double fHeight);

    const std::vector<Row>& Rows() const { return m_listRows; }

private:
    Row& RowAt(int nRow);

    std::vector<Row> m_listRows;
    int m_nWidest = 0;
};

template <typename Change>
void SheetModel::ChangeCells(const Area& area, Change change)
{
    m_nWidest = std::max(m_nWidest, area.nLastColumn);
    for (int nRow = area.nFirstRow; nRow <= area.nLastRow; ++nRow) {
        std::vector<Cell>& cells = RowAt(nRow).cells;
        if (cells.size() < size_t(area.nLastColumn)) {
            cells.reserve(size_t(m_nWidest)); // rows tend to be as wide as those before them
            cells.resize(size_t(area.nLastColumn));
        }
        for (int nColumn = area.nFirstColumn; nColumn <= area.nLastColumn; ++nColumn)
            change(cells[size_t(nColumn - 1)]);
    }
}

#endif
