#include "RecordCopy.h"

#include "RecordStore.h"

#include <QDateTime>
#include <QJsonObject>
#include <QVector>

namespace {

QJsonObject ProvenanceOf(const RecordStore::Row& row)
{
    return { { QStringLiteral("row"), row.seq },
             { QStringLiteral("time"), row.time },
             { QStringLiteral("hash"), QString::fromLatin1(row.hash) },
             { QStringLiteral("signature"), QString::fromLatin1(row.signature) } };
}

} // namespace

QString RecordCopy::Copy(const QString& from, const QString& to, qint64* pCopied)
{
    *pCopied = 0;
    RecordStore source;
    if (!source.OpenExisting(from))
        return source.Error();
    const RecordStore::Check before = source.Verify();
    if (!before.Intact())
        return QStringLiteral("%1: %2; nothing copied").arg(from, before.reason);
    RecordStore target;
    if (!target.Open(to, false))
        return target.Error();
    // One transaction: a copy cut short leaves nothing behind.
    if (!target.Begin())
        return target.Error();
    QVector<qint64> copied; // the new rows, in the order of the originals
    QString why;
    const bool read = source.Scan([&](const RecordStore::Row& row) {
        QJsonObject content = row.Content();
        content.insert(QLatin1String(kProvenance), ProvenanceOf(row));
        const QDateTime time = QDateTime::fromString(row.time, Qt::ISODateWithMs);
        const qint64 seq = target.Append(row.kind, row.node, content, time.isValid() ? time.toMSecsSinceEpoch() : -1);
        if (seq == 0)
            why = target.Error();
        copied << seq;
        return seq > 0;
    });
    if (!read || !why.isEmpty() || copied.size() != before.rows) {
        target.Rollback();
        return why.isEmpty() ? QStringLiteral("the rows of %1 could not be read; nothing copied").arg(from) : why;
    }
    if (!target.Commit())
        return target.Error();
    // Both chains whole, and every original found again in its copy.
    const RecordStore::Check after = target.Verify();
    if (!after.Intact())
        return QStringLiteral("%1 after the copy: %2").arg(to, after.reason);
    qint64 checked = 0;
    source.Scan([&](const RecordStore::Row& row) {
        const RecordStore::Row copy = target.RowAt(copied.value(int(checked)));
        const bool same = copy.Content().value(QLatin1String(kProvenance)).toObject() == ProvenanceOf(row);
        checked += same ? 1 : 0;
        return same;
    });
    if (checked != before.rows || !source.Verify().Intact())
        return QStringLiteral("row %1 of %2 is not in its copy as it was").arg(checked + 1).arg(from);
    *pCopied = checked;
    return QString();
}
