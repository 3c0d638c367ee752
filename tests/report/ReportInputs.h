#ifndef DOSEGATE_REPORTINPUTS_H
#define DOSEGATE_REPORTINPUTS_H

#include "ReportExport.h"

// Inputs of a report as the readings page holds them: column 0 the step
// mark that must stay out of the report, 1 the time, 2 the reading, 3 the
// running number; (1, 2) of a three-row table has no item.
namespace ReportInputs {

inline const QString kTitle = QStringLiteral("Serial number:") + QStringLiteral("  000000");

// 0 to 3 rows.
inline ReportExport::Table Table(int nRows)
{
    const QVector<QStringList> rows = {
        {"", "2024.03.05.14:07:01", "0.09", "1"},
        {"STEP+", "2024.03.05.14:07:03", "", "2"},
        {"", "2024.03.05.14:07:05", "12.34", "3"},
    };
    return {4, rows.mid(0, nRows)};
}

inline ReportExport::Statistics Statistics()
{
    ReportExport::Statistics statistics;
    statistics.trueValue = QStringLiteral("10.00");
    statistics.relativeError = QStringLiteral("-2.50");
    statistics.variation = QStringLiteral("3.10");
    statistics.reportTime = QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));
    statistics.background = QStringLiteral("0.0050");
    statistics.standardDeviation = QStringLiteral("0.0123");
    statistics.expandedUncertainty = QStringLiteral("4.14");
    statistics.coverageFactor = QStringLiteral("k = 2.05");
    statistics.decisionRule = QStringLiteral("guarded acceptance");
    statistics.verdict = QStringLiteral("INCONCLUSIVE");
    return statistics;
}

} // namespace ReportInputs

#endif
