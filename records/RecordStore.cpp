#include "RecordStore.h"

#include "CalibrationSummary.h"
#include "Log.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSaveFile>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QVariant>

#include <sodium.h>

namespace {

const char* const kDriver = "QSQLITE";
const QByteArray kNoHash(64, '0'); // what the first row follows
constexpr int kSchemaVersion = 1;
constexpr int kBusyTimeoutMs = 5000; // another console may be appending

// The triggers keep honest programs from changing a row; the hashes show
// what a dishonest one changed.
const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS records ("
    " seq INTEGER PRIMARY KEY, time TEXT NOT NULL, kind TEXT NOT NULL, node INTEGER NOT NULL,"
    " content TEXT NOT NULL, previous_hash TEXT NOT NULL, hash TEXT NOT NULL)",
    "CREATE TRIGGER IF NOT EXISTS records_kept BEFORE UPDATE ON records"
    " BEGIN SELECT RAISE(ABORT, 'records are never changed'); END",
    "CREATE TRIGGER IF NOT EXISTS records_never_deleted BEFORE DELETE ON records"
    " BEGIN SELECT RAISE(ABORT, 'records are never deleted'); END",
    // A node's rows of a kind, and the summary the register reads, so that
    // nothing the window asks for reads every row.
    "CREATE INDEX IF NOT EXISTS records_kind_node ON records (kind, node)",
    "CREATE TABLE IF NOT EXISTS summary_nodes (node INTEGER PRIMARY KEY)",
    "CREATE TABLE IF NOT EXISTS summary_calibrations ("
    " seq INTEGER PRIMARY KEY, node INTEGER NOT NULL, serial TEXT NOT NULL, date TEXT NOT NULL,"
    " verdict TEXT NOT NULL, operator TEXT NOT NULL, certificate TEXT NOT NULL)",
    "CREATE INDEX IF NOT EXISTS summary_calibrations_node ON summary_calibrations (node, seq)",
    // The newest row summarised: rows appended by a console that keeps no
    // summary are caught up with at the next opening.
    "CREATE TABLE IF NOT EXISTS summary_through (seq INTEGER NOT NULL)",
};

// The content and hashes as the bytes stored, with no round trip through
// UTF-16.
const char* const kColumns = "seq, time, kind, node, CAST(content AS BLOB), CAST(previous_hash AS BLOB),"
                             " CAST(hash AS BLOB)";
constexpr int kNewestOfEachNode = -2;


RecordStore::Row RowOf(const QSqlQuery& query)
{
    RecordStore::Row row;
    row.seq = query.value(0).toLongLong();
    row.time = query.value(1).toString();
    row.kind = query.value(2).toString();
    row.node = query.value(3).toInt();
    row.content = query.value(4).toByteArray(); // UTF-8 as stored, or from text
    row.previousHash = query.value(5).toByteArray();
    row.hash = query.value(6).toByteArray();
    return row;
}

QString CsvField(const QString& text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

} // namespace

QJsonObject RecordStore::Row::Content() const
{
    return QJsonDocument::fromJson(content).object();
}

QString RecordStore::SettingsPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
        .filePath(QStringLiteral("records.ini"));
}

QString RecordStore::Now()
{
    return TimeText(QDateTime::currentMSecsSinceEpoch());
}

QString RecordStore::TimeText(qint64 ms)
{
    QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
    local.setOffsetFromUtc(local.offsetFromUtc());
    return local.toString(Qt::ISODateWithMs);
}

RecordStore::RecordStore(QObject* parent)
    : QObject(parent)
    , m_sConnection(QStringLiteral("records-%1").arg(quintptr(this), 0, 16))
    , m_bOpen(false)
    , m_bLogs(true)
{
}

RecordStore::~RecordStore()
{
    Close();
}

QString RecordStore::DefaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("records.sqlite"));
}

bool RecordStore::Open(const QString& path)
{
    m_bLogs = true;
    return OpenConnection(path, true);
}

// A check or an export says what went wrong to whoever asked.
bool RecordStore::OpenExisting(const QString& path)
{
    m_bLogs = false;
    return OpenConnection(path, false);
}

bool RecordStore::OpenConnection(const QString& path, bool create)
{
    Close();
    m_sPath = path;
    const QString why = Connect(create);
    if (!why.isEmpty()) {
        Close(); // whatever step failed
        return Fail(why);
    }
    m_bOpen = true;
    m_sError.clear();
    emit StateChanged();
    return true;
}

// Why the store cannot be used; empty when it can.
QString RecordStore::Connect(bool create)
{
    const QString where = QDir::toNativeSeparators(m_sPath);
    if (!QSqlDatabase::isDriverAvailable(QLatin1String(kDriver)))
        return QStringLiteral("Qt's SQLite driver is not installed");
    if (!create && !QFileInfo::exists(m_sPath))
        return QStringLiteral("there is no record store at %1").arg(where);
    if (create && !QDir().mkpath(QFileInfo(m_sPath).absolutePath()))
        return QStringLiteral("cannot create the folder of %1").arg(where);

    QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(kDriver), m_sConnection);
    db.setDatabaseName(m_sPath);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
                             .arg(kBusyTimeoutMs)
                             .arg(create ? QString() : QStringLiteral(";QSQLITE_OPEN_READONLY")));
    if (!db.open())
        return QStringLiteral("cannot open %1: %2").arg(where, db.lastError().text());
    QSqlQuery query(db);
    if (create) {
        // WAL with a full sync at each commit: what was reported written is
        // on the disk.
        if (!query.exec(QStringLiteral("PRAGMA journal_mode=WAL")) || !query.next()
            || query.value(0).toString() != QLatin1String("wal"))
            return QStringLiteral("cannot use %1: %2").arg(where, query.lastError().text());
        for (const char* statement : kSchema) {
            if (!query.exec(QLatin1String(statement)))
                return QStringLiteral("cannot use %1: %2").arg(where, query.lastError().text());
        }
        query.exec(QStringLiteral("PRAGMA user_version=%1").arg(kSchemaVersion));
        const QString summary = CatchUpSummary();
        if (!summary.isEmpty())
            return QStringLiteral("cannot use %1: %2").arg(where, summary);
    }
    if (!query.exec(QStringLiteral("PRAGMA synchronous=FULL"))
        || !query.exec(QStringLiteral("SELECT max(seq) FROM records"))) // no count: that reads every row
        return QStringLiteral("%1 is not a record store: %2").arg(where, query.lastError().text());
    return QString();
}

void RecordStore::Close()
{
    if (QSqlDatabase::contains(m_sConnection)) {
        QSqlDatabase::database(m_sConnection, false).close();
        QSqlDatabase::removeDatabase(m_sConnection);
    }
    m_bOpen = false;
}

// Said once in the log for each new cause.
bool RecordStore::Fail(const QString& why)
{
    if (why != m_sError && m_bLogs)
        LogPrint(LOG_WARNING, "records: %s\n", qPrintable(why));
    m_sError = why;
    emit StateChanged();
    return false;
}

QByteArray RecordStore::HashOf(const Row& row)
{
    static const bool ready = sodium_init() >= 0; // once, before any other of its calls
    Q_UNUSED(ready)
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    const auto add = [&state](const QByteArray& bytes) {
        crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(bytes.constData()),
                                  static_cast<unsigned long long>(bytes.size()));
    };
    static const QByteArray newline(1, '\n');
    for (const QByteArray& field : { QByteArray::number(row.seq), row.time.toUtf8(), row.kind.toUtf8(),
                                     QByteArray::number(row.node), row.content }) {
        add(field);
        add(newline);
    }
    add(row.previousHash);
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state, digest);
    return QByteArray::fromRawData(reinterpret_cast<const char*>(digest), sizeof digest).toHex();
}

// The newest row and its hash are remembered outside the file, so that rows
// cut off its end show too.
QString RecordStore::AnchorKey() const
{
    const QByteArray path = QFileInfo(m_sPath).absoluteFilePath().toUtf8();
    return QStringLiteral("records/newest-")
        + QString::fromLatin1(QCryptographicHash::hash(path, QCryptographicHash::Sha256).toHex().left(16));
}

qint64 RecordStore::Append(const QString& kind, int node, const QJsonObject& content, qint64 timeMs)
{
    if (!m_bOpen) {
        Fail(m_sError.isEmpty() ? QStringLiteral("the record store is not open") : m_sError);
        return 0;
    }
    QSqlDatabase db = QSqlDatabase::database(m_sConnection, false);
    QSqlQuery query(db);
    // Immediate: the newest row cannot change between reading it and
    // appending after it, whoever else writes.
    if (!m_bBatch && !query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        Fail(QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(m_sPath), query.lastError().text()));
        return 0;
    }
    Row row;
    row.previousHash = kNoHash;
    if (query.exec(QStringLiteral("SELECT seq, hash FROM records ORDER BY seq DESC LIMIT 1")) && query.next()) {
        row.seq = query.value(0).toLongLong();
        row.previousHash = query.value(1).toString().toLatin1();
    }
    ++row.seq;
    row.time = timeMs < 0 ? Now() : TimeText(timeMs);
    row.kind = kind;
    row.node = node;
    row.content = QJsonDocument(content).toJson(QJsonDocument::Compact);
    row.hash = HashOf(row);
    query.prepare(QStringLiteral("INSERT INTO records (seq, time, kind, node, content, previous_hash, hash)"
                                 " VALUES (?, ?, ?, ?, ?, ?, ?)"));
    query.addBindValue(row.seq);
    query.addBindValue(row.time);
    query.addBindValue(row.kind);
    query.addBindValue(row.node);
    query.addBindValue(QString::fromUtf8(row.content));
    query.addBindValue(QString::fromLatin1(row.previousHash));
    query.addBindValue(QString::fromLatin1(row.hash));
    if (!query.exec() || !Summarise(row) || (!m_bBatch && !query.exec(QStringLiteral("COMMIT")))) {
        const QString why = query.lastError().text();
        if (!m_bBatch)
            query.exec(QStringLiteral("ROLLBACK"));
        Fail(QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(m_sPath), why));
        return 0;
    }
    if (m_bBatch) {
        m_newest = row;
        return row.seq; // written once committed
    }
    QSettings(SettingsPath(), QSettings::IniFormat).setValue(AnchorKey(), QStringLiteral("%1 %2").arg(row.seq).arg(QString::fromLatin1(row.hash)));
    if (!m_sError.isEmpty()) {
        LogPrint(LOG_NOTICE, "records: %s is written again\n", qPrintable(QDir::toNativeSeparators(m_sPath)));
        m_sError.clear();
    }
    emit StateChanged();
    return row.seq;
}

QVector<RecordStore::Row> RecordStore::Rows(const QString& kind, int node, qint64 after) const
{
    QVector<Row> rows;
    Scan([&rows](const Row& row) {
        rows.append(row);
        return true;
    }, kind, node, after);
    return rows;
}

RecordStore::Row RecordStore::RowAt(qint64 seq) const
{
    if (!m_bOpen)
        return Row();
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    query.prepare(QStringLiteral("SELECT seq, time, kind, node, content, previous_hash, hash FROM records"
                                 " WHERE seq = ?"));
    query.addBindValue(seq);
    return query.exec() && query.next() ? RowOf(query) : Row();
}

qint64 RecordStore::Count() const
{
    if (!m_bOpen)
        return 0;
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    return query.exec(QStringLiteral("SELECT count(*) FROM records")) && query.next() ? query.value(0).toLongLong()
                                                                                         : 0;
}

RecordStore::Check RecordStore::Verify() const
{
    Check check;
    if (!m_bOpen) {
        check.reason = m_sError;
        return check;
    }
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT %1 FROM records ORDER BY seq").arg(QLatin1String(kColumns)))) {
        check.reason = query.lastError().text();
        return check;
    }
    QByteArray previous = kNoHash;
    qint64 expected = 1;
    while (query.next()) {
        const Row row = RowOf(query);
        check.badRow = expected;
        if (row.seq != expected) {
            check.reason = QStringLiteral("row %1 is missing").arg(expected);
            return check;
        }
        if (row.previousHash != previous) {
            check.reason = QStringLiteral("row %1 does not follow row %2: one of them was changed, or rows were put "
                                          "between them").arg(row.seq).arg(row.seq - 1);
            return check;
        }
        if (HashOf(row) != row.hash) {
            check.reason = QStringLiteral("row %1 was changed: its content does not match its hash").arg(row.seq);
            return check;
        }
        previous = row.hash;
        ++expected;
        check.rows = row.seq;
    }
    check.badRow = 0;
    const QStringList newest = QSettings(SettingsPath(), QSettings::IniFormat).value(AnchorKey()).toString().split(QLatin1Char(' '));
    if (newest.size() == 2) {
        const qint64 seq = newest[0].toLongLong();
        if (seq > check.rows) {
            check.badRow = check.rows + 1;
            check.reason = QStringLiteral("rows %1 to %2 are missing from the end").arg(check.rows + 1).arg(seq);
        } else if (seq > 0 && RowAt(seq).hash != newest[1].toLatin1()) {
            check.badRow = seq;
            check.reason = QStringLiteral("row %1 is not the one this console wrote").arg(seq);
        }
    }
    return check;
}

QString RecordStore::ExportCsv(const QString& path) const
{
    if (!m_bOpen)
        return m_sError;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.write("seq,time,kind,node,content,previous_hash,hash\n");
    // A row at a time: memory stays flat whatever the store holds.
    const bool read = Scan([&file](const Row& row) {
        const QStringList fields { QString::number(row.seq), row.time, row.kind, QString::number(row.node),
                                   QString::fromUtf8(row.content), QString::fromLatin1(row.previousHash),
                                   QString::fromLatin1(row.hash) };
        QStringList quoted;
        for (const QString& field : fields)
            quoted << CsvField(field);
        return file.write((quoted.join(QLatin1Char(',')) + QLatin1Char('\n')).toUtf8()) >= 0;
    });
    if (!read) {
        file.cancelWriting();
        return file.errorString().isEmpty() ? QStringLiteral("the rows could not be read") : file.errorString();
    }
    return file.commit() ? QString() : file.errorString();
}

bool RecordStore::Begin()
{
    if (!m_bOpen)
        return Fail(m_sError.isEmpty() ? QStringLiteral("the record store is not open") : m_sError);
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    // Immediate: the newest row cannot change under the batch, whoever else
    // writes.
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return Fail(QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(m_sPath), query.lastError().text()));
    m_bBatch = true;
    m_newest = Row();
    return true;
}

bool RecordStore::Commit()
{
    if (!m_bBatch)
        return false;
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    if (!query.exec(QStringLiteral("COMMIT"))) {
        const QString why = query.lastError().text();
        Rollback();
        return Fail(QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(m_sPath), why));
    }
    m_bBatch = false;
    if (m_newest.seq > 0)
        QSettings(SettingsPath(), QSettings::IniFormat).setValue(AnchorKey(), QStringLiteral("%1 %2").arg(m_newest.seq).arg(QString::fromLatin1(m_newest.hash)));
    if (!m_sError.isEmpty()) {
        LogPrint(LOG_NOTICE, "records: %s is written again\n", qPrintable(QDir::toNativeSeparators(m_sPath)));
        m_sError.clear();
    }
    emit StateChanged();
    return true;
}

void RecordStore::Rollback()
{
    if (!m_bBatch)
        return;
    m_bBatch = false;
    QSqlQuery(QSqlDatabase::database(m_sConnection, false)).exec(QStringLiteral("ROLLBACK"));
}

// Only the filters given go into the statement, so that SQLite can use the
// index of kind and node.
bool RecordStore::Scan(const std::function<bool(const Row&)>& visit, const QString& kind, int node,
                       qint64 after) const
{
    if (!m_bOpen)
        return false;
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    query.setForwardOnly(true);
    QString statement = QStringLiteral("SELECT %1 FROM records WHERE seq > ?").arg(QLatin1String(kColumns));
    if (!kind.isEmpty())
        statement += QStringLiteral(" AND kind = ?");
    if (node >= 0)
        statement += QStringLiteral(" AND node = ?");
    query.prepare(statement + QStringLiteral(" ORDER BY seq"));
    query.addBindValue(after);
    if (!kind.isEmpty())
        query.addBindValue(kind);
    if (node >= 0)
        query.addBindValue(node);
    if (!query.exec())
        return false;
    while (query.next()) {
        if (!visit(RowOf(query)))
            break;
    }
    return query.lastError().type() == QSqlError::NoError;
}

qint64 RecordStore::Newest() const
{
    if (!m_bOpen)
        return 0;
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    return query.exec(QStringLiteral("SELECT max(seq) FROM records")) && query.next() ? query.value(0).toLongLong() : 0;
}

QVector<int> RecordStore::Nodes() const
{
    QVector<int> nodes;
    if (!m_bOpen)
        return nodes;
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    query.setForwardOnly(true);
    if (query.exec(QStringLiteral("SELECT node FROM summary_nodes ORDER BY node"))) {
        while (query.next())
            nodes.append(query.value(0).toInt());
    }
    return nodes;
}

QVector<CalibrationSummary> RecordStore::Calibrations(int node, qint64 after) const
{
    QVector<CalibrationSummary> calibrations;
    if (!m_bOpen)
        return calibrations;
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    query.setForwardOnly(true);
    if (node == kNewestOfEachNode) {
        query.prepare(QStringLiteral("SELECT seq, node, serial, date, verdict, operator, certificate"
                                     " FROM summary_calibrations WHERE seq IN (SELECT max(seq) FROM"
                                     " summary_calibrations WHERE seq > ? GROUP BY node) ORDER BY seq"));
    } else {
        query.prepare(QStringLiteral("SELECT seq, node, serial, date, verdict, operator, certificate"
                                     " FROM summary_calibrations WHERE seq > ?%1 ORDER BY seq")
                          .arg(node >= 0 ? QStringLiteral(" AND node = ?") : QString()));
    }
    query.addBindValue(after);
    if (node >= 0)
        query.addBindValue(node);
    if (query.exec()) {
        while (query.next()) {
            CalibrationSummary summary;
            summary.seq = query.value(0).toLongLong();
            summary.node = query.value(1).toInt();
            summary.serial = query.value(2).toString();
            summary.date = QDate::fromString(query.value(3).toString(), Qt::ISODate);
            summary.verdict = query.value(4).toString();
            summary.operatorName = query.value(5).toString();
            summary.certificate = query.value(6).toString();
            calibrations.append(summary);
        }
    }
    return calibrations;
}

QVector<CalibrationSummary> RecordStore::LastCalibrations(qint64 after) const
{
    return Calibrations(kNewestOfEachNode, after);
}

// In the row's own transaction: the summary never tells of a row that is
// not there, nor misses one that is.
bool RecordStore::Summarise(const Row& row)
{
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    if (row.node > 0) {
        query.prepare(QStringLiteral("INSERT OR IGNORE INTO summary_nodes (node) VALUES (?)"));
        query.addBindValue(row.node);
        if (!query.exec())
            return false;
    }
    if (row.kind == QLatin1String("calibration")) {
        const CalibrationSummary summary = CalibrationSummary::Of(row);
        query.prepare(QStringLiteral("INSERT OR REPLACE INTO summary_calibrations"
                                     " (seq, node, serial, date, verdict, operator, certificate)"
                                     " VALUES (?, ?, ?, ?, ?, ?, ?)"));
        query.addBindValue(summary.seq);
        query.addBindValue(summary.node);
        query.addBindValue(summary.serial);
        query.addBindValue(summary.date.toString(Qt::ISODate));
        query.addBindValue(summary.verdict);
        query.addBindValue(summary.operatorName);
        query.addBindValue(summary.certificate);
        if (!query.exec())
            return false;
    }
    query.prepare(QStringLiteral("UPDATE summary_through SET seq = ?"));
    query.addBindValue(row.seq);
    return query.exec();
}

// Builds the summary from the rows it has not seen: all of them when it is
// new. Why it could not, or an empty string.
QString RecordStore::CatchUpSummary()
{
    QSqlDatabase db = QSqlDatabase::database(m_sConnection, false);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT (SELECT seq FROM summary_through), (SELECT max(seq) FROM records)"))
        || !query.next())
        return query.lastError().text();
    const bool known = !query.value(0).isNull();
    const qint64 through = query.value(0).toLongLong();
    const qint64 newest = query.value(1).toLongLong();
    if (known && through >= newest)
        return QString();
    if (!query.exec(QStringLiteral("BEGIN IMMEDIATE")))
        return query.lastError().text();
    bool done = known || query.exec(QStringLiteral("INSERT INTO summary_through (seq) VALUES (0)"));
    if (done) {
        query.prepare(QStringLiteral("INSERT OR IGNORE INTO summary_nodes (node)"
                                     " SELECT DISTINCT node FROM records WHERE seq > ? AND node > 0"));
        query.addBindValue(through);
        done = query.exec();
    }
    bool summarised = true;
    m_bOpen = true; // for Scan
    done = done && Scan([&](const Row& row) { return summarised = Summarise(row); }, QStringLiteral("calibration"), -1,
                        through) && summarised;
    m_bOpen = false;
    if (done) {
        query.prepare(QStringLiteral("UPDATE summary_through SET seq = ?"));
        query.addBindValue(newest);
        done = query.exec() && query.exec(QStringLiteral("COMMIT"));
    }
    if (!done) {
        const QString why = query.lastError().text();
        query.exec(QStringLiteral("ROLLBACK"));
        return why.isEmpty() ? QStringLiteral("cannot summarise the rows") : why;
    }
    return QString();
}
