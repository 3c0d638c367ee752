#include "RecordOutbox.h"

#include "RecordServer.h"
#include "RecordStore.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <atomic>

namespace {
std::atomic<int> g_nOutboxes { 0 };

// An outbox an earlier console left has rows without one: they are signed
// when sent, as they always were.
bool AddSignatureColumn(QSqlQuery& query)
{
    if (!query.exec(QStringLiteral("PRAGMA table_info(outbox)")))
        return false;
    while (query.next()) {
        if (query.value(1).toString() == QLatin1String("signature"))
            return true;
    }
    return query.exec(QStringLiteral("ALTER TABLE outbox ADD COLUMN signature TEXT NOT NULL DEFAULT ''"));
}

} // namespace

RecordOutbox::RecordOutbox()
    : m_sConnection(QStringLiteral("outbox-%1").arg(++g_nOutboxes))
{
}

RecordOutbox::~RecordOutbox()
{
    if (QSqlDatabase::contains(m_sConnection)) {
        QSqlDatabase::database(m_sConnection, false).close();
        QSqlDatabase::removeDatabase(m_sConnection);
    }
}

QString RecordOutbox::PathFor(const QString& location)
{
    return QFileInfo(RecordStore::LocalPath(location)).absolutePath()
        + QStringLiteral("/records.outbox.%1.sqlite").arg(RecordServer::LocalName(location));
}

QString RecordOutbox::Open(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_sConnection);
    db.setDatabaseName(path);
    QSqlQuery query(db);
    // FULL: a row the writer counts as kept survives a power cut.
    if (!db.open() || !query.exec(QStringLiteral("PRAGMA journal_mode=WAL"))
        || !query.exec(QStringLiteral("PRAGMA synchronous=FULL"))
        || !query.exec(QStringLiteral("CREATE TABLE IF NOT EXISTS outbox (id INTEGER PRIMARY KEY AUTOINCREMENT,"
                                      " row_id TEXT NOT NULL UNIQUE, time_ms INTEGER NOT NULL, kind TEXT NOT NULL,"
                                      " node INTEGER NOT NULL, content TEXT NOT NULL, reference_key TEXT NOT NULL,"
                                      " reference_row_id TEXT NOT NULL, signature TEXT NOT NULL DEFAULT '')"))
        || !AddSignatureColumn(query)
        || !query.exec(QStringLiteral("SELECT count(*) FROM outbox")) || !query.next()) {
        const QString why = db.isOpen() ? query.lastError().text() : db.lastError().text();
        m_sError = QStringLiteral("cannot keep rows in %1: %2").arg(QDir::toNativeSeparators(path), why);
        return m_sError;
    }
    m_nCount = query.value(0).toInt();
    m_bOpen = true;
    return QString();
}

bool RecordOutbox::Put(const QVector<Row>& rows)
{
    if (!m_bOpen)
        return false;
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        m_sError = query.lastError().text();
        return false;
    }
    query.prepare(QStringLiteral("INSERT INTO outbox (row_id, time_ms, kind, node, content, reference_key,"
                                 " reference_row_id, signature) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
    for (const Row& row : rows) {
        query.addBindValue(row.rowId);
        query.addBindValue(row.timeMs);
        query.addBindValue(row.kind);
        query.addBindValue(row.node);
        query.addBindValue(QString::fromUtf8(QJsonDocument(row.content).toJson(QJsonDocument::Compact)));
        query.addBindValue(row.referenceKey.isNull() ? QStringLiteral("") : row.referenceKey);
        query.addBindValue(row.referenceRowId.isNull() ? QStringLiteral("") : row.referenceRowId);
        query.addBindValue(row.signature.isEmpty() ? QStringLiteral("") : QString::fromLatin1(row.signature)); // never NULL
        if (!query.exec()) {
            m_sError = query.lastError().text();
            query.exec(QStringLiteral("ROLLBACK"));
            return false;
        }
    }
    if (!query.exec(QStringLiteral("COMMIT"))) {
        m_sError = query.lastError().text();
        query.exec(QStringLiteral("ROLLBACK"));
        return false;
    }
    m_nCount += rows.size();
    return true;
}

RecordOutbox::Row RecordOutbox::Front() const
{
    Row row;
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    if (!m_bOpen
        || !query.exec(QStringLiteral("SELECT id, row_id, time_ms, kind, node, content, reference_key,"
                                      " reference_row_id, signature FROM outbox ORDER BY id LIMIT 1"))
        || !query.next())
        return row;
    row.id = query.value(0).toLongLong();
    row.rowId = query.value(1).toString();
    row.timeMs = query.value(2).toLongLong();
    row.kind = query.value(3).toString();
    row.node = query.value(4).toInt();
    row.content = QJsonDocument::fromJson(query.value(5).toString().toUtf8()).object();
    row.referenceKey = query.value(6).toString();
    row.referenceRowId = query.value(7).toString();
    row.signature = query.value(8).toString().toLatin1();
    return row;
}

bool RecordOutbox::Remove(qint64 id)
{
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    query.prepare(QStringLiteral("DELETE FROM outbox WHERE id = ?"));
    query.addBindValue(id);
    if (!query.exec()) {
        m_sError = query.lastError().text();
        return false;
    }
    m_nCount -= query.numRowsAffected();
    return true;
}
