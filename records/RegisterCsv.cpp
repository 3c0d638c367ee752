#include "RegisterCsv.h"

#include "CalibrationSummary.h"
#include "RecordStore.h"

#include <QJsonObject>
#include <QMap>
#include <QSaveFile>
#include <QStringList>

namespace {

const char* const kHeader = "node,serial,last calibration,verdict,U,due date,state,operator,certificate number";

QString StateOf(const CalibrationSummary& summary, const QDate& due, const QDate& today)
{
    if (summary.verdict == QLatin1String("FAIL"))
        return QStringLiteral("failed — not fit for use");
    const qint64 days = today.daysTo(due);
    if (days < 0)
        return QStringLiteral("overdue");
    if (days == 0)
        return QStringLiteral("due today");
    return days == 1 ? QStringLiteral("due in 1 day") : QStringLiteral("due in %1 days").arg(days);
}

// The expanded uncertainty of each final result, in the order measured.
QString UncertaintiesOf(const RecordStore::Row& row)
{
    QStringList shown;
    for (const CalibrationSummary::Result& result :
         CalibrationSummary::Results(CalibrationRecord::fromJson(row.Content()))) {
        double u = 0;
        if (CalibrationRecord::FigureOf(result.Final().expandedUncertainty, &u))
            shown << QString::number(u, 'f', 2) + QStringLiteral(" %");
    }
    return shown.join(QStringLiteral("; "));
}

} // namespace

// A spreadsheet reads a cell that begins with = + - @ (or a tab or carriage
// return) as a formula; a leading apostrophe keeps it text.
QString RegisterCsv::Cell(const QString& text)
{
    QString cell = text;
    static const QString kFormulaStarts = QStringLiteral("=+-@\t\r");
    if (!cell.isEmpty() && kFormulaStarts.contains(cell.at(0)))
        cell.prepend(QLatin1Char('\''));
    if (cell.contains(QLatin1Char(',')) || cell.contains(QLatin1Char('"')) || cell.contains(QLatin1Char('\n'))
        || cell.contains(QLatin1Char('\r')))
        cell = QLatin1Char('"') + cell.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
    return cell;
}

// From the summary the store keeps, not from every row: the register's
// size follows the nodes, not the years of records.
QByteArray RegisterCsv::Of(const RecordStore& store, int intervalMonths, const QDate& today)
{
    QMap<int, CalibrationSummary> last; // by node; a node of commands only has none
    for (int node : store.Nodes())
        last.insert(node, CalibrationSummary());
    for (const CalibrationSummary& summary : store.LastCalibrations())
        last[summary.node] = summary;
    QByteArray csv("\xEF\xBB\xBF");
    csv += kHeader;
    csv += "\r\n";
    for (auto at = last.cbegin(); at != last.cend(); ++at) {
        if (at.key() <= 0)
            continue;
        QStringList cells { QString::number(at.key()) };
        const CalibrationSummary& summary = at.value();
        if (summary.seq == 0) {
            cells << QString() << QString() << QString() << QString() << QString()
                  << QStringLiteral("never calibrated") << QString() << QString();
        } else {
            const QDate due = summary.date.addMonths(intervalMonths);
            cells << summary.serial << summary.date.toString(Qt::ISODate) << summary.verdict
                  << UncertaintiesOf(store.RowAt(summary.seq)) << due.toString(Qt::ISODate)
                  << StateOf(summary, due, today) << summary.operatorName << summary.certificate;
        }
        QStringList written;
        for (const QString& cell : cells)
            written << Cell(cell);
        csv += written.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    return csv;
}

QString RegisterCsv::Write(const RecordStore& store, const QString& path, int intervalMonths, const QDate& today)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const QByteArray csv = Of(store, intervalMonths, today);
    if (file.write(csv) != csv.size() || !file.commit())
        return file.errorString();
    return QString();
}
