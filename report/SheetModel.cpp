#include "SheetModel.h"

#include <QRegularExpression>

#include <algorithm>

namespace {

int ColumnOf(const QString& letter)
{
    return letter.at(0).unicode() - 'A' + 1;
}

} // namespace

bool SheetModel::Area::Contains(int nRow, int nColumn) const
{
    return nRow >= nFirstRow && nRow <= nLastRow && nColumn >= nFirstColumn && nColumn <= nLastColumn;
}

bool SheetModel::Area::Overlaps(const Area& other) const
{
    return nFirstRow <= other.nLastRow && other.nFirstRow <= nLastRow && nFirstColumn <= other.nLastColumn
        && other.nFirstColumn <= nLastColumn;
}

QString SheetModel::Area::ToString() const
{
    const auto corner = [](int nRow, int nColumn) { return QChar(char('A' + nColumn - 1)) + QString::number(nRow); };
    return corner(nFirstRow, nFirstColumn) + QLatin1Char(':') + corner(nLastRow, nLastColumn);
}

bool SheetModel::Parse(const QString& address, Area* pArea)
{
    static const QRegularExpression band(QStringLiteral("^([1-9]\\d{0,6}):([1-9]\\d{0,6})$"));
    static const QRegularExpression cells(QStringLiteral("^([A-Z])([1-9]\\d{0,6})(?::([A-Z])([1-9]\\d{0,6}))?$"));
    const QRegularExpressionMatch rows = band.match(address);
    const QRegularExpressionMatch area = cells.match(address);
    Area parsed;
    if (rows.hasMatch()) {
        parsed = {rows.captured(1).toInt(), 1, rows.captured(2).toInt(), kMaxColumn, true};
    } else if (area.hasMatch()) {
        const int nLast = area.capturedLength(3) ? 3 : 1;
        parsed = {area.captured(2).toInt(), ColumnOf(area.captured(1)), area.captured(nLast + 1).toInt(),
                  ColumnOf(area.captured(nLast)), false};
    } else {
        return false;
    }
    *pArea = {std::min(parsed.nFirstRow, parsed.nLastRow), std::min(parsed.nFirstColumn, parsed.nLastColumn),
              std::max(parsed.nFirstRow, parsed.nLastRow), std::max(parsed.nFirstColumn, parsed.nLastColumn),
              parsed.bRows};
    const qint64 nCells = qint64(pArea->nLastRow - pArea->nFirstRow + 1) * (pArea->nLastColumn - pArea->nFirstColumn + 1);
    return pArea->nLastRow <= kMaxRow && (pArea->bRows || nCells <= kMaxAreaCells);
}

bool SheetModel::CellArea(int nRow, int nColumn, Area* pArea)
{
    *pArea = {nRow, nColumn, nRow, nColumn, false};
    return nRow >= 1 && nRow <= kMaxRow && nColumn >= 1 && nColumn <= kMaxColumn;
}

bool SheetModel::Merge(const Area& area, QString* pError)
{
    if (area.nFirstRow != area.nLastRow) {
        *pError = QStringLiteral("the cells %1 span more than one row").arg(area.ToString());
        return false;
    }
    if (area.nFirstColumn == area.nLastColumn)
        return true; // a single cell is merged with itself already
    for (const Area& merged : qAsConst(m_listMerges)) {
        if (merged.ToString() == area.ToString())
            return true;
        if (merged.Overlaps(area)) {
            *pError = QStringLiteral("the cells %1 overlap the merged cells %2").arg(area.ToString(), merged.ToString());
            return false;
        }
    }
    ChangeCells(area, [](Cell&) {}); // the writer takes the text and format of its first cell
    m_listMerges.append(area);
    return true;
}

void SheetModel::SetRowHeight(const Area& area, double fHeight)
{
    for (int nRow = area.nFirstRow; nRow <= area.nLastRow; ++nRow)
        RowAt(nRow).fHeight = fHeight;
}

const SheetModel::Area* SheetModel::MergeAt(int nRow, int nColumn) const
{
    for (const Area& area : m_listMerges) {
        if (area.nFirstRow == nRow && area.nFirstColumn == nColumn)
            return &area;
    }
    return nullptr;
}

bool SheetModel::InMerge(int nRow, int nColumn) const
{
    // Linear: a report has a handful of merged areas.
    return std::any_of(m_listMerges.begin(), m_listMerges.end(),
                       [nRow, nColumn](const Area& area) { return area.Contains(nRow, nColumn); });
}

SheetModel::Row& SheetModel::RowAt(int nRow)
{
    if (int(m_listRows.size()) < nRow)
        m_listRows.resize(size_t(nRow));
    return m_listRows[size_t(nRow - 1)];
}
