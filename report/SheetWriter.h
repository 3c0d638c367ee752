#ifndef DOSEGATE_SHEETWRITER_H
#define DOSEGATE_SHEETWRITER_H

#include "SheetModel.h"

#include <QHash>

struct lxw_format;
struct lxw_workbook;
struct lxw_worksheet;

// Renders a sheet as an .xlsx workbook with libxlsxwriter, printed one page
// wide with the caption row repeated on every page.
class SheetWriter
{
public:
    // The reason is for the operator.
    static bool Write(const SheetModel& sheet, const QString& fileName, QString* pReason);

private:
    SheetWriter(const SheetModel& sheet, lxw_workbook* pBook);

    void WriteSheet();
    void WriteRow(quint32 nRow, const SheetModel::Row& row);
    void WriteColumnWidths();
    lxw_format* FormatOf(const SheetModel::Cell& cell);
    void Check(int nError); // keeps the first error

    const SheetModel& m_sheet;
    lxw_workbook* m_pBook;
    lxw_worksheet* m_pSheet = nullptr;
    QHash<quint64, lxw_format*> m_formats;
    double m_widths[SheetModel::kMaxColumn] = {}; // as wide as the texts of single cells
    std::vector<std::pair<size_t, const SheetModel::Cell*>> m_listMerged; // by first column
    int m_nCaptionRow = -1; // the first row with borders: the table's head
    int m_nError = 0;
};

#endif
