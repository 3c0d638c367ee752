#include "CellRange.h"

#include <QStringList>

#include <algorithm>

CellRange::CellRange()
    : m_nFirstRow(0)
    , m_nFirstColumn(0)
    , m_nLastRow(0)
    , m_nLastColumn(0)
    , m_bRows(false)
{
}

CellRange::CellRange(int nFirstRow, int nFirstColumn, int nLastRow, int nLastColumn)
    : m_nFirstRow(std::min(nFirstRow, nLastRow))
    , m_nFirstColumn(std::min(nFirstColumn, nLastColumn))
    , m_nLastRow(std::max(nFirstRow, nLastRow))
    , m_nLastColumn(std::max(nFirstColumn, nLastColumn))
    , m_bRows(false)
{
    if (m_nFirstRow < 1 || m_nLastRow > kMaxRow || m_nFirstColumn < 1 || m_nLastColumn > kMaxColumn)
        *this = CellRange();
}

CellRange CellRange::Cell(int nRow, int nColumn)
{
    return CellRange(nRow, nColumn, nRow, nColumn);
}

CellRange CellRange::Rows(int nFirstRow, int nLastRow)
{
    CellRange range(nFirstRow, 1, nLastRow, kMaxColumn);
    range.m_bRows = range.IsValid();
    return range;
}

bool CellRange::Parse(const QString& address, CellRange* pRange)
{
    const QStringList parts = address.split(QLatin1Char(':'));
    if (parts.size() > 2)
        return false;
    return (ParseRows(parts, pRange) || ParseArea(parts, pRange)) && pRange->IsValid();
}

QString CellRange::ColumnName(int nColumn)
{
    QString name;
    for (; nColumn > 0; nColumn = (nColumn - 1) / 26)
        name.prepend(QLatin1Char(char('A' + (nColumn - 1) % 26)));
    return name;
}

bool CellRange::IsSingleCell() const
{
    return IsValid() && m_nFirstRow == m_nLastRow && m_nFirstColumn == m_nLastColumn;
}

bool CellRange::Contains(int nRow, int nColumn) const
{
    return nRow >= m_nFirstRow && nRow <= m_nLastRow && nColumn >= m_nFirstColumn && nColumn <= m_nLastColumn;
}

bool CellRange::Intersects(const CellRange& other) const
{
    return m_nFirstRow <= other.m_nLastRow && other.m_nFirstRow <= m_nLastRow
        && m_nFirstColumn <= other.m_nLastColumn && other.m_nFirstColumn <= m_nLastColumn;
}

bool CellRange::operator==(const CellRange& other) const
{
    return m_nFirstRow == other.m_nFirstRow && m_nFirstColumn == other.m_nFirstColumn
        && m_nLastRow == other.m_nLastRow && m_nLastColumn == other.m_nLastColumn && m_bRows == other.m_bRows;
}

qint64 CellRange::CellCount() const
{
    if (!IsValid())
        return 0;
    return qint64(m_nLastRow - m_nFirstRow + 1) * (m_nLastColumn - m_nFirstColumn + 1);
}

QString CellRange::ToString() const
{
    if (!IsValid())
        return QString();
    if (m_bRows)
        return QStringLiteral("%1:%2").arg(m_nFirstRow).arg(m_nLastRow);
    const QString first = ColumnName(m_nFirstColumn) + QString::number(m_nFirstRow);
    if (IsSingleCell())
        return first;
    return first + QLatin1Char(':') + ColumnName(m_nLastColumn) + QString::number(m_nLastRow);
}

bool CellRange::ParseRow(const QString& text, int* pRow)
{
    if (text.isEmpty() || text.size() > 7 || text.at(0) == QLatin1Char('0'))
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    *pRow = text.toInt();
    return *pRow <= kMaxRow;
}

bool CellRange::ParseColumn(const QString& text, int* pColumn)
{
    if (text.isEmpty() || text.size() > 3)
        return false;
    int nColumn = 0;
    for (const QChar c : text) {
        const QChar upper = c.toUpper();
        if (upper < QLatin1Char('A') || upper > QLatin1Char('Z'))
            return false;
        nColumn = nColumn * 26 + (upper.unicode() - 'A' + 1);
    }
    *pColumn = nColumn;
    return nColumn <= kMaxColumn;
}

bool CellRange::ParseCell(const QString& text, int* pRow, int* pColumn)
{
    int nDigits = 0;
    while (nDigits < text.size() && text.at(text.size() - 1 - nDigits).isDigit())
        ++nDigits;
    const int nLetters = text.size() - nDigits;
    return ParseColumn(text.left(nLetters), pColumn) && ParseRow(text.mid(nLetters), pRow);
}

bool CellRange::ParseRows(const QStringList& parts, CellRange* pRange)
{
    int nFirst = 0;
    int nLast = 0;
    if (parts.size() != 2 || !ParseRow(parts.at(0), &nFirst) || !ParseRow(parts.at(1), &nLast))
        return false;
    *pRange = Rows(nFirst, nLast);
    return true;
}

bool CellRange::ParseArea(const QStringList& parts, CellRange* pRange)
{
    int nRow[2] = {0, 0};
    int nColumn[2] = {0, 0};
    for (int i = 0; i < parts.size(); ++i) {
        if (!ParseCell(parts.at(i), &nRow[i], &nColumn[i]))
            return false;
    }
    const int nLast = parts.size() - 1;
    *pRange = CellRange(nRow[0], nColumn[0], nRow[nLast], nColumn[nLast]);
    return true;
}
