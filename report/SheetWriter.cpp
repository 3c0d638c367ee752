#include "SheetWriter.h"

#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <algorithm>
#include <numeric>
#include <cerrno>
#include <vector>

namespace {

// Column widths count characters of the default 11 pt font.
constexpr double kDefaultFontSize = 11.0;
constexpr double kWidthPadding = 2.0;
constexpr double kMaxColumnWidth = 80.0;

double WidthOf(const SheetModel::Cell& cell)
{
    const double fSize = cell.nFontSize ? cell.nFontSize : kDefaultFontSize;
    return cell.text.isEmpty() ? 0 : std::min(cell.text.size() * fSize / kDefaultFontSize + kWidthPadding, kMaxColumnWidth);
}

// 0 for a cell without a format of its own.
quint64 FormatKey(const SheetModel::Cell& cell)
{
    const quint64 nFlags = quint64(cell.bWrap) | quint64(cell.bCentred) << 1 | quint64(cell.bMiddle) << 2
        | quint64(cell.bBorder) << 3 | quint64(cell.bBorderColour) << 4;
    return quint64(cell.nFontSize) | nFlags << 16 | quint64(cell.nBorderColour) << 24;
}

} // namespace

SheetWriter::SheetWriter(const SheetModel& sheet, lxw_workbook* pBook)
    : m_sheet(sheet)
    , m_pBook(pBook)
{
}

bool SheetWriter::Write(const SheetModel& sheet, const QString& fileName, QString* pReason)
{
    // The model holds the sheet already: libxlsxwriter need not keep a copy
    // of its own but streams it row by row, through scratch files beside
    // the file that have no names.
    QByteArray scratch = QFile::encodeName(QFileInfo(fileName).absolutePath());
    lxw_workbook_options options = {LXW_TRUE, scratch.data(), LXW_FALSE};
    lxw_workbook* pBook = workbook_new_opt(QFile::encodeName(fileName).constData(), &options);
    SheetWriter writer(sheet, pBook);
    errno = 0;
    if (!pBook) {
        writer.Check(LXW_ERROR_MEMORY_MALLOC_FAILED);
    } else {
        const bool bBuilt = writer.WriteSheet();
        // Closing also frees the workbook, so it happens after a failure too.
        const lxw_error nClosed = workbook_close(pBook);
        if (bBuilt)
            writer.Check(nClosed);
    }
    // The system's reason ("No space left on device") says more than the library's.
    if (writer.m_nError != LXW_NO_ERROR)
        *pReason = errno ? qt_error_string(errno) : QString::fromUtf8(lxw_strerror(lxw_error(writer.m_nError)));
    return writer.m_nError == LXW_NO_ERROR;
}

bool SheetWriter::WriteSheet()
{
    m_pSheet = workbook_add_worksheet(m_pBook, nullptr);
    if (!m_pSheet)
        return Check(LXW_ERROR_MEMORY_MALLOC_FAILED);
    worksheet_fit_to_pages(m_pSheet, 1, 0); // one page wide: no column alone on a page of its own
    if (!WriteColumnWidths())
        return false;
    for (int nRow = 1; nRow <= int(m_sheet.Rows().size()); ++nRow) {
        if (!WriteRow(nRow))
            return false;
    }
    // A long table prints as a table: its captions head every page.
    return !m_nCaptionRow
        || Check(worksheet_repeat_rows(m_pSheet, lxw_row_t(m_nCaptionRow - 1), lxw_row_t(m_nCaptionRow - 1)));
}

// Nothing in the operations sets a width, and the default one cuts times
// and captions off; each column is made as wide as its texts, and a merged
// area's last column takes what the area still lacks.
bool SheetWriter::WriteColumnWidths()
{
    std::vector<double> widths(SheetModel::kMaxColumn + 1, 0.0);
    const std::vector<SheetModel::Row>& rows = m_sheet.Rows();
    for (int nRow = 1; nRow <= int(rows.size()); ++nRow) {
        const std::vector<SheetModel::Cell>& cells = rows[size_t(nRow - 1)].cells;
        for (int nColumn = 1; nColumn <= int(cells.size()); ++nColumn) {
            if (!m_sheet.InMerge(nRow, nColumn))
                widths[size_t(nColumn)] = std::max(widths[size_t(nColumn)], WidthOf(cells[size_t(nColumn - 1)]));
        }
    }
    for (const SheetModel::Area& area : m_sheet.Merges()) {
        const double fHave = std::accumulate(&widths[size_t(area.nFirstColumn)], &widths[size_t(area.nLastColumn)] + 1, 0.0);
        const double fNeed = WidthOf(rows[size_t(area.nFirstRow - 1)].cells[size_t(area.nFirstColumn - 1)]);
        widths[size_t(area.nLastColumn)] += std::max(0.0, fNeed - fHave);
    }
    for (int nColumn = 1; nColumn <= SheetModel::kMaxColumn; ++nColumn) {
        const lxw_col_t nIndex = lxw_col_t(nColumn - 1);
        if (widths[size_t(nColumn)] > 0
            && !Check(worksheet_set_column(m_pSheet, nIndex, nIndex, widths[size_t(nColumn)], nullptr)))
            return false;
    }
    return true;
}

bool SheetWriter::WriteRow(int nRow)
{
    const SheetModel::Row& row = m_sheet.Rows()[size_t(nRow - 1)];
    if (row.fHeight >= 0 && !Check(worksheet_set_row(m_pSheet, lxw_row_t(nRow - 1), row.fHeight, nullptr)))
        return false;
    for (int nColumn = 1; nColumn <= int(row.cells.size()); ++nColumn) {
        const SheetModel::Cell& cell = row.cells[size_t(nColumn - 1)];
        if (!m_nCaptionRow && cell.bBorder)
            m_nCaptionRow = nRow;
        const SheetModel::Area* pMerge = m_sheet.MergeAt(nRow, nColumn);
        // A merged area shows the borders of its edge cells, so the cells
        // it covers keep their formats, though not their texts.
        const QByteArray text = pMerge || !m_sheet.InMerge(nRow, nColumn) ? cell.text.toUtf8() : QByteArray();
        const lxw_row_t nIndex = lxw_row_t(nRow - 1);
        const lxw_col_t nColumnIndex = lxw_col_t(nColumn - 1);
        if (!Check(pMerge ? worksheet_merge_range(m_pSheet, nIndex, nColumnIndex, lxw_row_t(pMerge->nLastRow - 1),
                                                  lxw_col_t(pMerge->nLastColumn - 1), text.constData(), FormatOf(cell))
                          : worksheet_write_string(m_pSheet, nIndex, nColumnIndex, text.constData(), FormatOf(cell))))
            return false;
    }
    return true;
}

lxw_format* SheetWriter::FormatOf(const SheetModel::Cell& cell)
{
    const quint64 nKey = FormatKey(cell);
    if (!nKey)
        return nullptr;
    lxw_format*& pFormat = m_formats[nKey];
    if (pFormat)
        return pFormat;
    pFormat = workbook_add_format(m_pBook);
    if (cell.nFontSize)
        format_set_font_size(pFormat, cell.nFontSize);
    if (cell.bWrap)
        format_set_text_wrap(pFormat);
    if (cell.bCentred)
        format_set_align(pFormat, LXW_ALIGN_CENTER);
    if (cell.bMiddle)
        format_set_align(pFormat, LXW_ALIGN_VERTICAL_CENTER);
    if (cell.bBorder)
        format_set_border(pFormat, LXW_BORDER_THIN);
    if (cell.bBorder && cell.bBorderColour) {
        // libxlsxwriter reads 0 as "no colour": black has its own code.
        const lxw_color_t nColour = cell.nBorderColour & 0xFFFFFF;
        format_set_border_color(pFormat, nColour ? nColour : lxw_color_t(LXW_COLOR_BLACK));
    }
    return pFormat;
}

bool SheetWriter::Check(int nError)
{
    if (nError != LXW_NO_ERROR)
        m_nError = nError;
    return nError == LXW_NO_ERROR;
}
