#include "CalibrationSummary.h"

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>

namespace {

constexpr int kNumberDigits = 6;
constexpr int kHashDigits = 4;

const char* const kVerdictsWorstFirst[] = { "FAIL", "INCONCLUSIVE", "" };

} // namespace

CalibrationSummary CalibrationSummary::Of(const RecordStore::Row& row)
{
    const CalibrationRecord record = CalibrationRecord::fromJson(row.Content());
    CalibrationSummary summary;
    summary.seq = row.seq;
    summary.node = row.node;
    summary.serial = record.serial;
    summary.operatorName = record.operatorName;
    summary.certificate = CertificateNumber(row);
    summary.date = DateOf(record.points.isEmpty() ? record.finished : record.points.last().time);
    if (!summary.date.isValid())
        summary.date = DateOf(row.time); // when it was stored, for a record that names no time
    summary.verdict = VerdictOf(Results(record));
    return summary;
}

QString CalibrationSummary::CertificateNumber(const RecordStore::Row& row)
{
    QDate finished = DateOf(row.Content()[CalibrationRecord::kFinished].toString());
    if (!finished.isValid())
        finished = DateOf(row.time);
    return QStringLiteral("%1-%2-%3")
        .arg(finished.year(), 4, 10, QLatin1Char('0'))
        .arg(row.seq, kNumberDigits, 10, QLatin1Char('0'))
        .arg(QString::fromLatin1(row.hash.left(kHashDigits)).toUpper());
}

// The offset written with the time, not today's: a record reads the same
// in any time zone.
QDate CalibrationSummary::DateOf(const QString& time)
{
    return QDateTime::fromString(time, Qt::ISODateWithMs).date();
}

QVector<CalibrationSummary::Result> CalibrationSummary::Results(const CalibrationRecord& record)
{
    QVector<Result> results;
    QStringList keys;
    for (const CalibrationRecord::Point& point : record.points) {
        // The true value as stored: two runs at 0.09 are the same point.
        const QString key
            = QString::fromUtf8(QJsonDocument(QJsonArray { point.range, point.trueValue }).toJson(QJsonDocument::Compact));
        int at = keys.indexOf(key);
        if (at < 0) {
            at = keys.size();
            keys << key;
            results.append(Result());
            results[at].range = point.range;
        }
        // The later of two runs of a stage is the one that counts.
        if (point.AsLeft()) {
            results[at].asLeft = point;
            results[at].hasAsLeft = true;
        } else {
            results[at].asFound = point;
            results[at].hasAsFound = true;
        }
    }
    return results;
}

QString CalibrationSummary::VerdictOf(const QVector<Result>& results)
{
    if (results.isEmpty())
        return QString();
    for (const char* verdict : kVerdictsWorstFirst) {
        for (const Result& result : results) {
            if (result.Final().verdict == QLatin1String(verdict))
                return QLatin1String(verdict);
        }
    }
    for (const Result& result : results) {
        if (result.Final().verdict != QLatin1String("PASS"))
            return QString(); // a word this console does not write
    }
    return QStringLiteral("PASS");
}
