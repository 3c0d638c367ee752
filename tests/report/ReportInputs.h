#ifndef DOSEGATE_REPORTINPUTS_H
#define DOSEGATE_REPORTINPUTS_H

#include "ReportExport.h"

#include <QTableWidget>

// Inputs of a report as the readings page holds them: column 0 the step
// mark that must stay out of the report, 1 the time, 2 the reading, 3 the
// running number; (1, 2) of a three-row table has no item.
namespace ReportInputs {

inline const QString kTitle = QStringLiteral("Serial number:") + QStringLiteral("  000000");

inline void Put(QTableWidget& table, int nRow, int nColumn, const char* text)
{
    table.setItem(nRow, nColumn, new QTableWidgetItem(QString::fromUtf8(text)));
}

// 0 to 3 rows.
inline void Fill(QTableWidget& table, int nRows)
{
    table.setColumnCount(4);
    table.setRowCount(nRows);
    const char* const rows[3][4] = {
        {"", "2024.03.05.14:07:01", "0.09", "1"},
        {"STEP+", "2024.03.05.14:07:03", nullptr, "2"},
        {nullptr, "2024.03.05.14:07:05", "12.34", "3"},
    };
    for (int nRow = 0; nRow < nRows; ++nRow) {
        for (int nColumn = 0; nColumn < 4; ++nColumn) {
            if (rows[nRow][nColumn])
                Put(table, nRow, nColumn, rows[nRow][nColumn]);
        }
    }
}

inline ReportExport::Statistics Statistics()
{
    ReportExport::Statistics statistics;
    statistics.trueValue = QStringLiteral("10.00");
    statistics.relativeError = QStringLiteral("-2.50");
    statistics.variation = QStringLiteral("3.10");
    statistics.reportTime = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));
    return statistics;
}

} // namespace ReportInputs

#endif
