#include "SheetModel.h"

#include <QRegularExpression>

QString SheetModel::Area::ToString() const
{
    const auto corner = [](int nRow, int nColumn) { return QChar(char('A' + nColumn - 1)) + QString::number(nRow); };
    return corner(nFirstRow, nFirstColumn) + QLatin1Char(':') + corner(nLastRow, nLastColumn);
}

bool SheetModel::Parse(const QString& address, Area* pArea)
{
    // Both corners name a column, or neither does and the address is one of whole rows.
    static const QRegularExpression pattern(QStringLiteral("^([A-Z]?)([1-9]\\d{0,6})(?::([A-Z]?)([1-9]\\d{0,6}))?$"));
    const QRegularExpressionMatch match = pattern.match(address);
    const bool bRows = match.capturedLength(1) == 0;
    const int nLast = match.capturedLength(4) ? 3 : 1;
    if (!match.hasMatch() || match.capturedLength(nLast) != match.capturedLength(1) || (bRows && nLast == 1))
        return false;
    const auto column = [&match, bRows](int nGroup, int nWhole) {
        return bRows ? nWhole : match.captured(nGroup).at(0).unicode() - 'A' + 1;
    };
    const int nRow[2] = {match.captured(2).toInt(), match.captured(nLast + 1).toInt()};
    const int nColumn[2] = {column(1, 1), column(nLast, kMaxColumn)};
    *pArea = {std::min(nRow[0], nRow[1]), std::min(nColumn[0], nColumn[1]), std::max(nRow[0], nRow[1]),
              std::max(nColumn[0], nColumn[1])};
    return pArea->nLastRow <= kMaxRow;
}

bool SheetModel::Merge(const Area& area, QString* pError)
{
    const int nSpan = area.nLastColumn - area.nFirstColumn + 1;
    if (area.nFirstRow != area.nLastRow) {
        *pError = QStringLiteral("the cells %1 span more than one row").arg(area.ToString());
        return false;
    }
    if (nSpan == 1)
        return true; // a single cell is merged with itself
    ChangeCells(area, [](Cell&) {}); // the writer takes the text and format of the first cell
    const auto first = RowAt(area.nFirstRow).cells.begin() + (area.nFirstColumn - 1);
    if (first->nSpan == nSpan)
        return true; // merged already
    if (std::any_of(first, first + nSpan, [](const Cell& cell) { return cell.nSpan != 1; })) {
        *pError = QStringLiteral("the cells %1 overlap merged cells").arg(area.ToString());
        return false;
    }
    std::for_each(first, first + nSpan, [](Cell& cell) { cell.nSpan = 0; });
    first->nSpan = quint8(nSpan);
    return true;
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
