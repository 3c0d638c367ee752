#ifndef DOSEGATE_BOOKFILE_H
#define DOSEGATE_BOOKFILE_H

#include "CellFormat.h"

#include <QHash>
#include <QString>

#include <vector>

class CellRange;
class QFile;
class QSaveFile;
class SheetModel;
struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// Writes worksheets as an .xlsx file, whatever the file name says. The
// target is replaced only once the whole file has been written, so a
// failed save leaves an existing file as it was and no partial file behind.
class BookFile
{
public:
    static bool Write(const std::vector<const SheetModel*>& sheets, const QString& path, QString* pError);

private:
    using FormatCache = QHash<CellFormat, lxw_format*>;

    static bool CheckTarget(const QString& path, QString* pReason);
    static bool Store(const std::vector<const SheetModel*>& sheets, QSaveFile& target, QString* pReason);
    static bool Build(const std::vector<const SheetModel*>& sheets, const QString& fileName, const QString& folder,
                      QString* pReason);
    static bool WriteSheet(lxw_workbook* pBook, const SheetModel& sheet, FormatCache& formats, QString* pReason);
    static bool WriteRowHeights(lxw_worksheet* pSheet, const SheetModel& sheet, QString* pReason);
    static bool WriteColumnWidths(lxw_worksheet* pSheet, const SheetModel& sheet, QString* pReason);
    static bool WriteCells(lxw_workbook* pBook, lxw_worksheet* pSheet, const SheetModel& sheet,
                           FormatCache& formats, QString* pReason);
    static bool WriteMerges(lxw_workbook* pBook, lxw_worksheet* pSheet, const SheetModel& sheet,
                            FormatCache& formats, QString* pReason);
    static bool WriteHiddenFormats(lxw_workbook* pBook, lxw_worksheet* pSheet, const SheetModel& sheet,
                                   const CellRange& area, FormatCache& formats, QString* pReason);
    static lxw_format* FormatFor(lxw_workbook* pBook, const CellFormat& format, FormatCache& formats);
    static bool InMerge(const SheetModel& sheet, int nRow, int nColumn);
    static bool Copy(QFile& from, QSaveFile& to, QString* pReason);
    static QString CellError(int nRow, int nColumn, int nError);
};

#endif
