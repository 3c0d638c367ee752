#include "SheetWriter.h"

#include <QFile>
#include <QFileInfo>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <numeric>

namespace {

// Column widths count characters of the default 11 pt font.
constexpr double kDefaultFontSize = 11.0;
constexpr double kWidthPadding = 2.0;
constexpr double kMaxColumnWidth = 80.0;

double WidthOf(const SheetModel::Cell& cell)
{
    const double fSize = cell.nFontSize ? cell.nFontSize : kDefaultFontSize;
    const double fWidth = cell.text.size() * fSize / kDefaultFontSize + kWidthPadding;
    return cell.text.isEmpty() ? 0 : std::min(fWidth, kMaxColumnWidth);
}

} // namespace

SheetWriter::SheetWriter(const SheetModel& sheet, lxw_workbook* pBook)
    : m_sheet(sheet)
    , m_pBook(pBook)
{
}

bool SheetWriter::Write(const SheetModel& sheet, const QString& fileName, QString* pReason)
{
    // The model holds the sheet already, so libxlsxwriter keeps no copy of
    // its own but streams it row by row, through nameless scratch files
    // beside the file.
    QByteArray scratch = QFile::encodeName(QFileInfo(fileName).absolutePath());
    lxw_workbook_options options = {LXW_TRUE, scratch.data(), LXW_FALSE};
    errno = 0;
    SheetWriter writer(sheet, workbook_new_opt(QFile::encodeName(fileName).constData(), &options));
    if (writer.m_pBook) {
        writer.WriteSheet();
        writer.Check(workbook_close(writer.m_pBook)); // which frees it, after a failure too
    } else {
        writer.Check(LXW_ERROR_MEMORY_MALLOC_FAILED);
    }
    // A failed write leaves the system's reason, which says more than the library's.
    if (writer.m_nError != LXW_NO_ERROR)
        *pReason = errno ? qt_error_string(errno) : QString::fromUtf8(lxw_strerror(lxw_error(writer.m_nError)));
    return writer.m_nError == LXW_NO_ERROR;
}

void SheetWriter::WriteSheet()
{
    m_pSheet = workbook_add_worksheet(m_pBook, nullptr);
    if (!m_pSheet) {
        Check(LXW_ERROR_MEMORY_MALLOC_FAILED);
        return;
    }
    worksheet_fit_to_pages(m_pSheet, 1, 0); // one page wide: no column alone on a page of its own
    for (size_t i = 0; i < m_sheet.Rows().size(); ++i)
        WriteRow(quint32(i), m_sheet.Rows()[i]);
    WriteColumnWidths();
    // A long table prints as a table: its captions head every page.
    if (m_nCaptionRow >= 0)
        Check(worksheet_repeat_rows(m_pSheet, lxw_row_t(m_nCaptionRow), lxw_row_t(m_nCaptionRow)));
}

void SheetWriter::WriteRow(quint32 nRow, const SheetModel::Row& row)
{
    if (row.fHeight >= 0)
        Check(worksheet_set_row(m_pSheet, nRow, row.fHeight, nullptr));
    for (size_t i = 0; i < row.cells.size(); ++i) {
        const SheetModel::Cell& cell = row.cells[i];
        if (m_nCaptionRow < 0 && (cell.nFlags & SheetModel::Cell::Border))
            m_nCaptionRow = int(nRow);
        if (cell.nSpan > 1)
            m_listMerged.emplace_back(i, &cell);
        else if (cell.nSpan == 1)
            m_widths[i] = std::max(m_widths[i], WidthOf(cell));
        // A merged area shows the borders of its edge cells, so the cells
        // it covers keep their formats, though not their texts.
        const QByteArray text = cell.nSpan ? cell.text.toUtf8() : QByteArray();
        lxw_format* pFormat = FormatOf(cell);
        const lxw_col_t nColumn = lxw_col_t(i);
        Check(cell.nSpan > 1 ? worksheet_merge_range(m_pSheet, nRow, nColumn, nRow, lxw_col_t(i + cell.nSpan - 1),
                                                     text.constData(), pFormat)
                             : worksheet_write_string(m_pSheet, nRow, nColumn, text.constData(), pFormat));
    }
}

// Nothing in the operations sets a width, and the default one cuts times
// and captions off; each column is made as wide as its texts, and a merged
// area's last column takes what the area still lacks.
void SheetWriter::WriteColumnWidths()
{
    for (const auto& merged : m_listMerged) {
        double* pWidths = &m_widths[merged.first];
        const int nSpan = merged.second->nSpan;
        pWidths[nSpan - 1] += std::max(0.0, WidthOf(*merged.second) - std::accumulate(pWidths, pWidths + nSpan, 0.0));
    }
    for (lxw_col_t nColumn = 0; nColumn < SheetModel::kMaxColumn; ++nColumn) {
        if (m_widths[nColumn] > 0)
            Check(worksheet_set_column(m_pSheet, nColumn, nColumn, m_widths[nColumn], nullptr));
    }
}

lxw_format* SheetWriter::FormatOf(const SheetModel::Cell& cell)
{
    using Cell = SheetModel::Cell;
    const quint64 nKey = quint64(cell.nFontSize) | quint64(cell.nFlags) << 16 | quint64(cell.nBorderColour) << 24;
    if (!nKey)
        return nullptr; // the workbook's default
    lxw_format*& pFormat = m_formats[nKey];
    if (pFormat)
        return pFormat;
    pFormat = workbook_add_format(m_pBook);
    if (cell.nFontSize)
        format_set_font_size(pFormat, cell.nFontSize);
    if (cell.nFlags & Cell::Wrap)
        format_set_text_wrap(pFormat);
    if (cell.nFlags & Cell::Centred)
        format_set_align(pFormat, LXW_ALIGN_CENTER);
    if (cell.nFlags & Cell::Middle)
        format_set_align(pFormat, LXW_ALIGN_VERTICAL_CENTER);
    if (cell.nFlags & Cell::Border)
        format_set_border(pFormat, LXW_BORDER_THIN);
    // libxlsxwriter reads 0 as "no colour": black has its own code.
    const lxw_color_t nColour = cell.nBorderColour & 0xFFFFFF;
    if ((cell.nFlags & Cell::Border) && cell.nBorderColour)
        format_set_border_color(pFormat, nColour ? nColour : lxw_color_t(LXW_COLOR_BLACK));
    return pFormat;
}

void SheetWriter::Check(int nError)
{
    if (m_nError == LXW_NO_ERROR)
        m_nError = nError;
}
