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
    const QJsonObject record = row.Content();
    CalibrationSummary summary;
    summary.seq = row.seq;
    summary.node = row.node;
    summary.serial = record[QStringLiteral("serial")].toString();
    summary.operatorName = record[QStringLiteral("operator")].toString();
    summary.certificate = CertificateNumber(row);
    const QJsonArray points = record[QStringLiteral("points")].toArray();
    summary.date = DateOf(points.isEmpty() ? record[QStringLiteral("finished")].toString()
                                           : points.last()[QStringLiteral("time")].toString());
    summary.verdict = VerdictOf(Results(record));
    return summary;
}

QString CalibrationSummary::CertificateNumber(const RecordStore::Row& row)
{
    QDate finished = DateOf(row.Content()[QStringLiteral("finished")].toString());
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

QVector<CalibrationSummary::Result> CalibrationSummary::Results(const QJsonObject& record)
{
    QVector<Result> results;
    QStringList keys;
    for (const QJsonValue& value : record[QStringLiteral("points")].toArray()) {
        const QJsonObject point = value.toObject();
        // The true value as stored: two runs at 0.09 are the same point.
        const QString key = QString::fromUtf8(QJsonDocument(QJsonArray { point[QStringLiteral("range")],
                                                                          point[QStringLiteral("trueValue")] })
                                                  .toJson(QJsonDocument::Compact));
        int at = keys.indexOf(key);
        if (at < 0) {
            at = keys.size();
            keys << key;
            results.append(Result());
            results[at].range = point[QStringLiteral("range")].toInt();
        }
        // The later of two runs of a stage is the one that counts.
        if (point[QStringLiteral("stage")].toString() == QLatin1String("as left"))
            results[at].asLeft = point;
        else
            results[at].asFound = point;
    }
    return results;
}

QString CalibrationSummary::VerdictOf(const QVector<Result>& results)
{
    if (results.isEmpty())
        return QString();
    for (const char* verdict : kVerdictsWorstFirst) {
        for (const Result& result : results) {
            if (result.Final()[QStringLiteral("verdict")].toString() == QLatin1String(verdict))
                return QLatin1String(verdict);
        }
    }
    for (const Result& result : results) {
        if (result.Final()[QStringLiteral("verdict")].toString() != QLatin1String("PASS"))
            return QString(); // a word this console does not write
    }
    return QStringLiteral("PASS");
}
