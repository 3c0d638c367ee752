#ifndef DOSEGATE_CELLRANGE_H
#define DOSEGATE_CELLRANGE_H

#include <QString>

// A rectangle of sheet cells, counted from 1, or a band of whole rows
// ("2:5"). Parses and prints addresses in A1 notation.
class CellRange
{
public:
    static constexpr int kMaxRow = 1048576;
    static constexpr int kMaxColumn = 16384;

    CellRange(); // invalid
    CellRange(int nFirstRow, int nFirstColumn, int nLastRow, int nLastColumn);

    static CellRange Cell(int nRow, int nColumn);
    static CellRange Rows(int nFirstRow, int nLastRow);
    // "A1", "A1:C5" or "1:3"; corners in either order.
    static bool Parse(const QString& address, CellRange* pRange);
    static QString ColumnName(int nColumn);

    bool IsValid() const { return m_nFirstRow > 0; }
    bool IsRows() const { return m_bRows; }
    bool IsSingleCell() const;
    bool Contains(int nRow, int nColumn) const;
    bool Intersects(const CellRange& other) const;
    bool operator==(const CellRange& other) const;
    qint64 CellCount() const;
    QString ToString() const;

    int FirstRow() const { return m_nFirstRow; }
    int FirstColumn() const { return m_nFirstColumn; }
    int LastRow() const { return m_nLastRow; }
    int LastColumn() const { return m_nLastColumn; }

private:
    static bool ParseRow(const QString& text, int* pRow);
    static bool ParseColumn(const QString& text, int* pColumn);
    static bool ParseCell(const QString& text, int* pRow, int* pColumn);
    static bool ParseRows(const QStringList& parts, CellRange* pRange);
    static bool ParseArea(const QStringList& parts, CellRange* pRange);

    int m_nFirstRow;
    int m_nFirstColumn;
    int m_nLastRow;
    int m_nLastColumn;
    bool m_bRows;
};

#endif
