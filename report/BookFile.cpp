#include "BookFile.h"

#include "SheetModel.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <algorithm>
#include <map>

namespace {

// Column widths are counted in characters of the default 11 pt font.
constexpr double kDefaultFontSize = 11.0;
constexpr double kWidthPadding = 2.0;
constexpr double kMaxColumnWidth = 80.0;

double WidthOf(const SheetModel::Cell& cell)
{
    const double size = cell.format.fontSize > 0 ? cell.format.fontSize : kDefaultFontSize;
    return std::min(cell.text.size() * size / kDefaultFontSize + kWidthPadding, kMaxColumnWidth);
}

} // namespace

bool BookFile::Write(const std::vector<const SheetModel*>& sheets, const QString& path, QString* pError)
{
    QString reason;
    bool bOk = CheckTarget(path, &reason);
    if (bOk) {
        QSaveFile target(path);
        bOk = target.open(QIODevice::WriteOnly);
        if (!bOk)
            reason = target.errorString();
        bOk = bOk && Store(sheets, target, &reason);
    }
    if (!bOk)
        *pError = QStringLiteral("Cannot save \"%1\": %2").arg(QDir::toNativeSeparators(path), reason);
    return bOk;
}

bool BookFile::CheckTarget(const QString& path, QString* pReason)
{
    if (path.isEmpty()) {
        *pReason = QStringLiteral("no file name was given");
        return false;
    }
    const QFileInfo info(path);
    if (info.isDir()) {
        *pReason = QStringLiteral("it is a folder");
        return false;
    }
    const QFileInfo folder(info.absolutePath());
    if (!folder.isDir()) {
        *pReason = QStringLiteral("the folder \"%1\" does not exist").arg(QDir::toNativeSeparators(folder.filePath()));
        return false;
    }
    return true;
}

bool BookFile::Store(const std::vector<const SheetModel*>& sheets, QSaveFile& target, QString* pReason)
{
    // libxlsxwriter writes only to a named file. It builds a private copy
    // beside the target, on the same volume, which the save file then
    // takes over in one piece.
    const QFileInfo info(target.fileName());
    const QString folder = info.absolutePath();
    QTemporaryFile built(folder + QStringLiteral("/.~") + info.fileName() + QStringLiteral("-XXXXXX"));
    if (!built.open()) {
        *pReason = QStringLiteral("cannot create a temporary file: %1").arg(built.errorString());
        return false;
    }
    built.close();
    if (!Build(sheets, built.fileName(), folder, pReason))
        return false;
    QFile result(built.fileName());
    if (!result.open(QIODevice::ReadOnly)) {
        *pReason = result.errorString();
        return false;
    }
    if (!Copy(result, target, pReason))
        return false;
    if (!target.commit()) {
        *pReason = target.errorString();
        return false;
    }
    return true;
}

bool BookFile::Build(const std::vector<const SheetModel*>& sheets, const QString& fileName, const QString& folder,
                     QString* pReason)
{
    // Its own scratch files go to the same folder; they have no names.
    QByteArray scratch = QFile::encodeName(folder);
    lxw_workbook_options options = {LXW_FALSE, scratch.data(), LXW_FALSE};
    lxw_workbook* pBook = workbook_new_opt(QFile::encodeName(fileName).constData(), &options);
    if (!pBook) {
        *pReason = QStringLiteral("out of memory");
        return false;
    }
    FormatCache formats;
    bool bOk = true;
    for (const SheetModel* pSheet : sheets)
        bOk = bOk && WriteSheet(pBook, *pSheet, formats, pReason);
    // Closing also frees the workbook, so it happens even after a failure.
    const lxw_error nError = workbook_close(pBook);
    if (bOk && nError != LXW_NO_ERROR) {
        *pReason = QString::fromUtf8(lxw_strerror(nError));
        bOk = false;
    }
    return bOk;
}

bool BookFile::WriteSheet(lxw_workbook* pBook, const SheetModel& sheet, FormatCache& formats, QString* pReason)
{
    lxw_worksheet* pSheet = workbook_add_worksheet(pBook, nullptr);
    if (!pSheet) {
        *pReason = QStringLiteral("cannot add a worksheet");
        return false;
    }
    worksheet_fit_to_pages(pSheet, 1, 0); // printed one page wide: no column alone on a page of its own
    return WriteRowHeights(pSheet, sheet, pReason) && WriteColumnWidths(pSheet, sheet, pReason)
        && WriteCells(pBook, pSheet, sheet, formats, pReason) && WriteMerges(pBook, pSheet, sheet, formats, pReason);
}

// Nothing in the operations sets a width, and the default one cuts times
// and captions off; each column is made as wide as its texts, and a merged
// area's last column takes what the area still lacks.
bool BookFile::WriteColumnWidths(lxw_worksheet* pSheet, const SheetModel& sheet, QString* pReason)
{
    std::map<int, double> widths;
    for (const auto& entry : sheet.Cells()) {
        const int nColumn = SheetModel::ColumnOf(entry.first);
        if (!InMerge(sheet, SheetModel::RowOf(entry.first), nColumn))
            widths[nColumn] = std::max(widths[nColumn], WidthOf(entry.second));
    }
    for (const CellRange& area : sheet.Merges()) {
        const auto anchor = sheet.Cells().find(SheetModel::Key(area.FirstRow(), area.FirstColumn()));
        if (anchor == sheet.Cells().end())
            continue;
        double have = 0;
        for (int nColumn = area.FirstColumn(); nColumn <= area.LastColumn(); ++nColumn)
            have += widths[nColumn];
        widths[area.LastColumn()] += std::max(0.0, WidthOf(anchor->second) - have);
    }
    for (const auto& entry : widths) {
        if (entry.second <= 0)
            continue;
        const lxw_col_t nColumn = lxw_col_t(entry.first - 1);
        const lxw_error nError = worksheet_set_column(pSheet, nColumn, nColumn, entry.second, nullptr);
        if (nError != LXW_NO_ERROR) {
            *pReason = QStringLiteral("column %1: %2").arg(entry.first).arg(QString::fromUtf8(lxw_strerror(nError)));
            return false;
        }
    }
    return true;
}

bool BookFile::WriteRowHeights(lxw_worksheet* pSheet, const SheetModel& sheet, QString* pReason)
{
    for (const auto& entry : sheet.RowHeights()) {
        const lxw_error nError = worksheet_set_row(pSheet, lxw_row_t(entry.first - 1), entry.second, nullptr);
        if (nError != LXW_NO_ERROR) {
            *pReason = QStringLiteral("row %1: %2").arg(entry.first).arg(QString::fromUtf8(lxw_strerror(nError)));
            return false;
        }
    }
    return true;
}

bool BookFile::WriteCells(lxw_workbook* pBook, lxw_worksheet* pSheet, const SheetModel& sheet,
                          FormatCache& formats, QString* pReason)
{
    for (const quint64 nKey : sheet.CellOrder()) {
        const int nRow = SheetModel::RowOf(nKey);
        const int nColumn = SheetModel::ColumnOf(nKey);
        const SheetModel::Cell& cell = sheet.Cells().at(nKey);
        if (InMerge(sheet, nRow, nColumn) || (cell.text.isEmpty() && cell.format.IsPlain()))
            continue;
        lxw_format* pFormat = cell.format.IsPlain() ? nullptr : FormatFor(pBook, cell.format, formats);
        const lxw_row_t nLxwRow = lxw_row_t(nRow - 1);
        const lxw_col_t nLxwColumn = lxw_col_t(nColumn - 1);
        const lxw_error nError = cell.text.isEmpty()
            ? worksheet_write_blank(pSheet, nLxwRow, nLxwColumn, pFormat)
            : worksheet_write_string(pSheet, nLxwRow, nLxwColumn, cell.text.toUtf8().constData(), pFormat);
        if (nError != LXW_NO_ERROR) {
            *pReason = CellError(nRow, nColumn, nError);
            return false;
        }
    }
    return true;
}

bool BookFile::WriteMerges(lxw_workbook* pBook, lxw_worksheet* pSheet, const SheetModel& sheet,
                           FormatCache& formats, QString* pReason)
{
    for (const CellRange& area : sheet.Merges()) {
        const auto anchor = sheet.Cells().find(SheetModel::Key(area.FirstRow(), area.FirstColumn()));
        const SheetModel::Cell cell = anchor == sheet.Cells().end() ? SheetModel::Cell() : anchor->second;
        const lxw_error nError = worksheet_merge_range(
            pSheet, lxw_row_t(area.FirstRow() - 1), lxw_col_t(area.FirstColumn() - 1), lxw_row_t(area.LastRow() - 1),
            lxw_col_t(area.LastColumn() - 1), cell.text.toUtf8().constData(), FormatFor(pBook, cell.format, formats));
        if (nError != LXW_NO_ERROR) {
            *pReason = QStringLiteral("merging %1: %2").arg(area.ToString(), QString::fromUtf8(lxw_strerror(nError)));
            return false;
        }
    }
    for (const CellRange& area : sheet.Merges()) {
        if (!WriteHiddenFormats(pBook, pSheet, sheet, area, formats, pReason))
            return false;
    }
    return true;
}

bool BookFile::WriteHiddenFormats(lxw_workbook* pBook, lxw_worksheet* pSheet, const SheetModel& sheet,
                                  const CellRange& area, FormatCache& formats, QString* pReason)
{
    // A merged area shows the borders of its edge cells, so the covered
    // cells keep formats of their own instead of the top-left one.
    for (int nRow = area.FirstRow(); nRow <= area.LastRow(); ++nRow) {
        for (int nColumn = area.FirstColumn(); nColumn <= area.LastColumn(); ++nColumn) {
            const auto it = sheet.Cells().find(SheetModel::Key(nRow, nColumn));
            const bool bAnchor = nRow == area.FirstRow() && nColumn == area.FirstColumn();
            if (bAnchor || it == sheet.Cells().end() || it->second.format.IsPlain())
                continue;
            const lxw_error nError = worksheet_write_blank(pSheet, lxw_row_t(nRow - 1), lxw_col_t(nColumn - 1),
                                                           FormatFor(pBook, it->second.format, formats));
            if (nError != LXW_NO_ERROR) {
                *pReason = CellError(nRow, nColumn, nError);
                return false;
            }
        }
    }
    return true;
}

lxw_format* BookFile::FormatFor(lxw_workbook* pBook, const CellFormat& format, FormatCache& formats)
{
    if (format.IsPlain())
        return nullptr;
    lxw_format*& pFormat = formats[format];
    if (pFormat)
        return pFormat;
    pFormat = workbook_add_format(pBook);
    if (format.fontSize > 0)
        format_set_font_size(pFormat, format.fontSize);
    if (format.wrap)
        format_set_text_wrap(pFormat);
    if (format.centreHorizontal)
        format_set_align(pFormat, LXW_ALIGN_CENTER);
    if (format.centreVertical)
        format_set_align(pFormat, LXW_ALIGN_VERTICAL_CENTER);
    if (format.border)
        format_set_border(pFormat, LXW_BORDER_THIN);
    if (format.border && format.borderColour.isValid()) {
        // libxlsxwriter reads 0 as "no colour": black has its own code.
        const lxw_color_t nColour = format.borderColour.rgb() & 0xFFFFFF;
        format_set_border_color(pFormat, nColour ? nColour : lxw_color_t(LXW_COLOR_BLACK));
    }
    return pFormat;
}

bool BookFile::InMerge(const SheetModel& sheet, int nRow, int nColumn)
{
    // Linear: a report sheet has a handful of merged areas.
    for (const CellRange& area : sheet.Merges()) {
        if (area.Contains(nRow, nColumn))
            return true;
    }
    return false;
}

bool BookFile::Copy(QFile& from, QSaveFile& to, QString* pReason)
{
    QByteArray chunk;
    while (!(chunk = from.read(1 << 16)).isEmpty()) {
        if (to.write(chunk) != chunk.size()) {
            *pReason = to.errorString();
            return false;
        }
    }
    if (from.error() != QFileDevice::NoError) {
        *pReason = from.errorString();
        return false;
    }
    return true;
}

QString BookFile::CellError(int nRow, int nColumn, int nError)
{
    return QStringLiteral("cell %1: %2")
        .arg(CellRange::Cell(nRow, nColumn).ToString(), QString::fromUtf8(lxw_strerror(lxw_error(nError))));
}
