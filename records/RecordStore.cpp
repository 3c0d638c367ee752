#include "RecordStore.h"

#include "CalibrationSummary.h"
#include "Log.h"
#include "RecordServer.h"
#include "SigningKey.h"

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
#include <QUrl>
#include <QUuid>
#include <QVariant>
#include <QtEndian>

#include <openssl/evp.h>
#include <sodium.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

const char* const kDriver = "QSQLITE";
const QByteArray kNoHash(64, '0'); // what the first row follows
constexpr int kSchemaVersion = 2;
constexpr int kBusyTimeoutMs = 5000; // another console may be appending
constexpr int kHashLength = 64;
const char* const kLossAccepted = "loss accepted";

// The triggers keep honest programs from changing a row; the hashes show
// what a dishonest one changed.
const char* const kSchema[] = {
    "CREATE TABLE IF NOT EXISTS records ("
    " seq INTEGER PRIMARY KEY, time TEXT NOT NULL, kind TEXT NOT NULL, node INTEGER NOT NULL,"
    " content TEXT NOT NULL, previous_hash TEXT NOT NULL, hash TEXT NOT NULL, encoding INTEGER NOT NULL DEFAULT 1)",
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

constexpr int kNewestOfEachNode = -2;

// OpenSSL's SHA-256 uses the processor's own instructions where it has them,
// several times libsodium's portable code. The digest is fetched once and a
// context kept for each thread: making them for each row cost as much as the
// hashing. libsodium stays for the day OpenSSL cannot give the digest.
void Sha256Hex(const QByteArray& bytes, char* hex)
{
    static EVP_MD* const sha256 = EVP_MD_fetch(nullptr, "SHA256", nullptr);
    thread_local const std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> context(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    unsigned char digest[32];
    unsigned int size = 0;
    if (!sha256 || !context || !EVP_DigestInit_ex(context.get(), sha256, nullptr)
        || !EVP_DigestUpdate(context.get(), bytes.constData(), size_t(bytes.size()))
        || !EVP_DigestFinal_ex(context.get(), digest, &size) || size != sizeof digest) {
        static const bool ready = sodium_init() >= 0; // once, before any other of its calls
        Q_UNUSED(ready)
        crypto_hash_sha256(digest, reinterpret_cast<const unsigned char*>(bytes.constData()),
                           static_cast<unsigned long long>(bytes.size()));
    }
    static const char digits[] = "0123456789abcdef";
    for (size_t i = 0; i < sizeof digest; ++i) {
        hex[2 * i] = digits[digest[i] >> 4];
        hex[2 * i + 1] = digits[digest[i] & 15];
    }
}

// A row's hashed bytes into `bytes`, whose room is kept from row to row.
void Encode(int encoding, qint64 seq, const QByteArray& time, const QByteArray& kind, int node,
            const QByteArray& content, const QByteArray& previousHash, QByteArray& bytes)
{
    bytes.resize(0);
    if (encoding == 1) {
        bytes.append(QByteArray::number(seq)).append('\n').append(time).append('\n').append(kind).append('\n')
            .append(QByteArray::number(node)).append('\n').append(content).append('\n').append(previousHash);
        return;
    }
    const auto field = [&bytes](const char* value, int size) {
        char length[4];
        qToBigEndian<quint32>(quint32(size), length);
        bytes.append(length, sizeof length).append(value, size);
    };
    const auto number = [&field](qint64 value) {
        char digits[24];
        const int size = std::snprintf(digits, sizeof digits, "%lld", static_cast<long long>(value));
        field(digits, size);
    };
    number(encoding);
    number(seq);
    field(time.constData(), time.size());
    field(kind.constData(), kind.size());
    number(node);
    field(content.constData(), content.size());
    field(previousHash.constData(), previousHash.size());
}


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
    row.encoding = query.value(7).toInt();
    row.signature = query.value(8).toByteArray();
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

QString RecordStore::AnchorPath(const QString& store)
{
    return store + QStringLiteral(".anchor");
}

QString RecordStore::HeldPath(const QString& store)
{
    return store + QStringLiteral(".held");
}

QString RecordStore::ConsoleKeyPath(const QString& store)
{
    return store + QStringLiteral(".console-key");
}

bool RecordStore::ParseAnchor(const QByteArray& text, Anchor* pAnchor)
{
    const QList<QByteArray> fields = text.trimmed().split(' ');
    if (fields.size() != 2 || fields[1].size() != kHashLength)
        return false;
    bool number = false;
    const qint64 seq = fields[0].toLongLong(&number);
    for (char c : fields[1]) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
    }
    if (!number || seq < 1)
        return false;
    pAnchor->seq = seq;
    pAnchor->hash = fields[1];
    return true;
}

// What is written on request replaces nothing it was not told to, and
// never the records themselves, whatever it was told.
QString RecordStore::RefusalOf(const QString& path, const QString& store, bool force)
{
    const QFileInfo target(path);
    const auto same = [](const QFileInfo& a, const QFileInfo& b) {
        return a.exists() && b.exists() ? a.canonicalFilePath() == b.canonicalFilePath()
                                        : a.absoluteFilePath() == b.absoluteFilePath();
    };
    const QString where = QDir::toNativeSeparators(path);
    for (const QString& own : { store, store + QStringLiteral("-wal"), store + QStringLiteral("-shm"),
                                AnchorPath(store), HeldPath(store),
                                ConsoleKeyPath(store) }) {
        if (same(target, QFileInfo(own)))
            return QStringLiteral("%1 is one of the record store's own files").arg(where);
    }
    if (target.isSymLink() && !target.exists())
        return QStringLiteral("%1 is a link to nothing").arg(where);
    if (!target.exists())
        return QString();
    if (!target.isFile())
        return QStringLiteral("%1 is not a regular file").arg(where);
    if (!force)
        return QStringLiteral("%1 exists; --force writes over it").arg(where);
    return QString();
}

RecordStore::RecordStore(QObject* parent)
    : QObject(parent)
    , m_sConnection(QStringLiteral("records-%1").arg(quintptr(this), 0, 16))
    , m_bOpen(false)
    , m_bEncodingColumn(false)
    , m_bLogs(true)
{
}

RecordStore::~RecordStore()
{
    Close();
}

// Made at the first opening for writing; a key that cannot be read leaves
// the rows unsigned, which every check then says.
void RecordStore::LoadConsoleKey()
{
    QString why;
    m_pConsoleKey = ConsoleKey(m_sPath, &why);
    if (!m_pConsoleKey && m_bLogs)
        LogPrint(LOG_WARNING, "records: rows are not signed: %s\n", qPrintable(why));
}

std::unique_ptr<SigningKey> RecordStore::ConsoleKey(const QString& location, QString* pWhy)
{
    // One key for the console, whichever store it writes to.
    const bool server = RecordServer::IsServer(location);
    const QString path = ConsoleKeyPath(server ? DefaultPath() : location);
    if (server)
        QDir().mkpath(QFileInfo(path).absolutePath());
    QString why = QFileInfo::exists(path) ? QString() : SigningKey::CreateOpen(path, QStringLiteral("console"));
    auto key = std::make_unique<SigningKey>();
    if (why.isEmpty())
        why = key->Load(path);
    if (why.isEmpty())
        return key;
    *pWhy = why;
    return nullptr;
}

QString RecordStore::DefaultPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
        .filePath(QStringLiteral("records.sqlite"));
}

namespace {
QString g_sLocation; // set before any thread opens a store
}

QString RecordStore::Location()
{
    return g_sLocation.isEmpty() ? DefaultPath() : g_sLocation;
}

void RecordStore::SetLocation(const QString& location)
{
    g_sLocation = location;
}

bool RecordStore::LocationGiven()
{
    return !g_sLocation.isEmpty();
}

QString RecordStore::LocalPath(const QString& location)
{
    return RecordServer::IsServer(location) ? DefaultPath() : location;
}

bool RecordStore::Open(const QString& path, bool logs)
{
    m_bLogs = logs;
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
    m_bServer = RecordServer::IsServer(path);
    const QString why = m_bServer ? ConnectServer(create) : Connect(create);
    if (!why.isEmpty()) {
        Close(); // whatever step failed
        return Fail(why);
    }
    m_bOpen = true;
    m_sError.clear();
    if (create)
        LoadConsoleKey();
    m_sLoss = LossNow();
    if (!m_sLoss.isEmpty() && m_bLogs)
        LogPrint(LOG_WARNING, "records: %s\n", qPrintable(m_sLoss));
    emit StateChanged();
    return true;
}

// Why the store cannot be used; empty when it can.
QString RecordStore::Connect(bool create)
{
    const QString where = Where();
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
    // A cleanly closed store in a folder no one may write to has no -wal or
    // -shm, and SQLite cannot make them: with no WAL to read, the file alone
    // is the whole store, and nobody can be writing it.
    if (!create && !query.exec(QStringLiteral("SELECT count(*) FROM records"))
        && !QFileInfo::exists(m_sPath + QStringLiteral("-wal"))) {
        query = QSqlQuery();
        db.close();
        QUrl uri = QUrl::fromLocalFile(QFileInfo(m_sPath).absoluteFilePath());
        uri.setQuery(QStringLiteral("immutable=1"));
        db.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_OPEN_READONLY"));
        if (!db.open())
            return QStringLiteral("cannot open %1: %2").arg(where, db.lastError().text());
        query = QSqlQuery(db);
    }
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
    }
    m_bEncodingColumn = false;
    m_bSignatureColumn = false;
    if (query.exec(QStringLiteral("PRAGMA table_info(records)"))) {
        while (query.next()) {
            m_bEncodingColumn = m_bEncodingColumn || query.value(1).toString() == QLatin1String("encoding");
            m_bSignatureColumn = m_bSignatureColumn || query.value(1).toString() == QLatin1String("signature");
        }
    }
    // Beside the row, not in its hash: rows written before keep theirs.
    if (create && !m_bSignatureColumn) {
        if (!query.exec(QStringLiteral("ALTER TABLE records ADD COLUMN signature TEXT NOT NULL DEFAULT ''")))
            return QStringLiteral("cannot use %1: %2").arg(where, query.lastError().text());
        m_bSignatureColumn = true;
    }
    // Rows written before the column was there keep encoding 1.
    if (create && !m_bEncodingColumn) {
        if (!query.exec(QStringLiteral("ALTER TABLE records ADD COLUMN encoding INTEGER NOT NULL DEFAULT 1")))
            return QStringLiteral("cannot use %1: %2").arg(where, query.lastError().text());
        m_bEncodingColumn = true;
    }
    if (create) {
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

QString RecordStore::Columns() const
{
    if (m_bServer)
        return QStringLiteral("seq, time, kind, node, content, previous_hash, hash, encoding, signature");
    // The content and hashes as the bytes stored, with no round trip
    // through UTF-16.
    return QStringLiteral("seq, time, kind, node, CAST(content AS BLOB), CAST(previous_hash AS BLOB),"
                          " CAST(hash AS BLOB), ")
        + (m_bEncodingColumn ? QStringLiteral("encoding") : QStringLiteral("1"))
        + (m_bSignatureColumn ? QStringLiteral(", CAST(signature AS BLOB)") : QStringLiteral(", ''"));
}

void RecordStore::Close()
{
    if (QSqlDatabase::contains(m_sConnection)) {
        QSqlDatabase::database(m_sConnection, false).close();
        QSqlDatabase::removeDatabase(m_sConnection);
    }
    m_bOpen = false;
    m_pConsoleKey.reset();
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
    QByteArray hex(kHashLength, Qt::Uninitialized);
    Sha256Hex(HashedBytes(row), hex.data());
    return hex;
}

// Encoding 1 joined the fields with new lines, which a field may hold too:
// two different rows could give the same bytes. Encoding 2 puts each
// field's length before it, and the encoding itself first.
QByteArray RecordStore::HashedBytes(const Row& row)
{
    QByteArray bytes;
    Encode(row.encoding, row.seq, row.time.toUtf8(), row.kind.toUtf8(), row.node, row.content, row.previousHash,
           bytes);
    return bytes;
}

// Set apart from any row's hashed bytes by its first field, so that a
// signature of one form never passes for the other.
QByteArray RecordStore::UnplacedBytes(const Row& row)
{
    QByteArray bytes;
    const auto field = [&bytes](const QByteArray& value) {
        char length[4];
        qToBigEndian<quint32>(quint32(value.size()), length);
        bytes.append(length, sizeof length).append(value);
    };
    field(QByteArrayLiteral("unplaced"));
    field(QByteArray::number(row.encoding));
    field(row.time.toUtf8());
    field(row.kind.toUtf8());
    field(QByteArray::number(row.node));
    field(row.content);
    return bytes;
}

bool RecordStore::SignatureHolds(const Row& row)
{
    return SigningKey::Holds(row.signature, HashedBytes(row)) || SigningKey::Holds(row.signature, UnplacedBytes(row));
}

// Where earlier consoles kept the anchor, in their settings.
QString RecordStore::AnchorKey() const
{
    const QByteArray path = QFileInfo(m_sPath).absoluteFilePath().toUtf8();
    return QStringLiteral("records/newest-")
        + QString::fromLatin1(QCryptographicHash::hash(path, QCryptographicHash::Sha256).toHex().left(16));
}

// No anchor at all is a store nobody wrote to since anchors were kept; an
// anchor that cannot be read says nothing, which is a loss of its own.
bool RecordStore::ReadAnchor(Anchor* pAnchor, QString* pWhy) const
{
    *pAnchor = Anchor();
    if (m_bServer)
        return true; // nobody may take rows off the server's end
    QFile file(AnchorPath(m_sPath));
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly) || !ParseAnchor(file.read(256), pAnchor)) {
            *pWhy = QStringLiteral("the anchor %1 cannot be read").arg(QDir::toNativeSeparators(file.fileName()));
            return false;
        }
        return true;
    }
    const QString kept = QSettings(SettingsPath(), QSettings::IniFormat).value(AnchorKey()).toString();
    if (!kept.isEmpty())
        ParseAnchor(kept.toLatin1(), pAnchor);
    return true;
}

// Replaced whole: a reader sees the old anchor or the new one. The caller
// holds the store's write lock, so no other writer is between its
// temporary and the rename, and a temporary a killed writer left is
// nobody's.
void RecordStore::WriteAnchor(const Row& row)
{
    const QString path = AnchorPath(m_sPath);
    const QFileInfo anchor(path);
    for (const QFileInfo& left : anchor.dir().entryInfoList({ anchor.fileName() + QStringLiteral(".*") }, QDir::Files))
        QFile::remove(left.absoluteFilePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)
        || file.write(QByteArray::number(row.seq) + ' ' + row.hash + '\n') < 0 || !file.commit())
        LogPrint(LOG_WARNING, "records: cannot write %s: %s\n", qPrintable(QDir::toNativeSeparators(path)),
                 qPrintable(file.errorString()));
}

QString RecordStore::LossNow() const
{
    Anchor anchor;
    QString why;
    if (!ReadAnchor(&anchor, &why))
        return why;
    if (anchor.seq == 0)
        return QString();
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    const qint64 newest = query.exec(QStringLiteral("SELECT max(seq) FROM records")) && query.next()
        ? query.value(0).toLongLong()
        : 0;
    if (anchor.seq > newest)
        return QStringLiteral("rows %1 to %2 are missing from the end").arg(newest + 1).arg(anchor.seq);
    query.prepare(QStringLiteral("SELECT hash FROM records WHERE seq = ?"));
    query.addBindValue(anchor.seq);
    if (!query.exec() || !query.next() || query.value(0).toString().toLatin1() != anchor.hash)
        return QStringLiteral("row %1 is not the one this console wrote").arg(anchor.seq);
    return QString();
}

qint64 RecordStore::Append(const QString& kind, int node, const QJsonObject& content, qint64 timeMs,
                           const SigningKey* pSigner, const QString& rowId, const QByteArray& signature)
{
    Row row;
    row.time = timeMs < 0 ? Now() : TimeText(timeMs);
    row.kind = kind;
    row.node = node;
    row.content = QJsonDocument(content).toJson(QJsonDocument::Compact);
    return AppendRow(row, pSigner, rowId, signature);
}

qint64 RecordStore::Checkpoint()
{
    const Row newest = m_bBatch && m_newest.seq > 0 ? m_newest : RowAt(Newest());
    if (newest.seq == 0)
        return 0;
    return Append(QStringLiteral("checkpoint"), 0,
                  { { QStringLiteral("row"), newest.seq }, { QStringLiteral("hash"), QString::fromLatin1(newest.hash) } });
}

qint64 RecordStore::AppendRow(Row row, const SigningKey* pSigner, const QString& rowId, const QByteArray& signature)
{
    if (!m_bOpen) {
        Fail(m_sError.isEmpty() ? QStringLiteral("the record store is not open") : m_sError);
        return 0;
    }
    QSqlDatabase db = QSqlDatabase::database(m_sConnection, false);
    QSqlQuery query(db);
    // Immediate: the newest row cannot change between reading it and
    // appending after it, whoever else writes.
    if (!m_bBatch) {
        const QString why = BeginWrite(query);
        if (!why.isEmpty()) {
            Fail(QStringLiteral("cannot write %1: %2").arg(Where(), why));
            return 0;
        }
    }
    // A row after a loss would make the shortened chain look whole again.
    // A batch judged it once, when it took the write lock.
    const QString loss = row.kind == QLatin1String(kLossAccepted) ? QString() : m_bBatch ? m_sLoss : LossNow();
    if (!loss.isEmpty()) {
        if (!m_bBatch)
            query.exec(QStringLiteral("ROLLBACK"));
        const bool held = Hold(row);
        if (loss != m_sLoss && m_bLogs)
            LogPrint(LOG_WARNING, "records: %s\n", qPrintable(loss));
        m_sLoss = loss;
        Fail(held ? QStringLiteral("%1; the row is held in %2 until the loss is accepted")
                        .arg(loss, QDir::toNativeSeparators(HeldPath(m_sPath)))
                  : QStringLiteral("%1; the row could not be held either").arg(loss));
        return 0;
    }
    row.previousHash = kNoHash;
    row.seq = 0;
    if (query.exec(QStringLiteral("SELECT seq, hash FROM records ORDER BY seq DESC LIMIT 1")) && query.next()) {
        row.seq = query.value(0).toLongLong();
        row.previousHash = query.value(1).toString().toLatin1();
    }
    ++row.seq;
    row.encoding = kEncoding;
    row.hash = HashOf(row);
    // Made by its person when handed over, before a crash could part the
    // row from the signer kept in memory; a row whose content changed since
    // (a reference numbered meanwhile) is signed anew.
    row.signature = signature;
    if (signature.isEmpty() || !SigningKey::Holds(signature, UnplacedBytes(row))) {
        const SigningKey* signer = pSigner && pSigner->CanSign() ? pSigner : m_pConsoleKey.get();
        row.signature = signer ? signer->Sign(HashedBytes(row)) : QByteArray();
    }
    // A row id the server holds already is a row it committed before its
    // answer was lost: taken as written, never written twice.
    const bool known = m_bServer && !rowId.isEmpty();
    query.prepare(QStringLiteral("INSERT INTO records (seq, time, kind, node, content, previous_hash, hash, encoding,"
                                 " signature%1) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?%2)%3")
                      .arg(m_bServer ? QStringLiteral(", console, row_id") : QString(),
                           m_bServer ? QStringLiteral(", ?, ?") : QString(),
                           known ? QStringLiteral(" ON CONFLICT (row_id) DO NOTHING") : QString()));
    query.addBindValue(row.seq);
    query.addBindValue(row.time);
    query.addBindValue(row.kind);
    query.addBindValue(row.node);
    query.addBindValue(QString::fromUtf8(row.content));
    query.addBindValue(QString::fromLatin1(row.previousHash));
    query.addBindValue(QString::fromLatin1(row.hash));
    query.addBindValue(row.encoding);
    query.addBindValue(row.signature.isEmpty() ? QStringLiteral("") : QString::fromLatin1(row.signature)); // never NULL
    if (m_bServer) {
        query.addBindValue(RecordServer::ConsoleId());
        query.addBindValue(rowId.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces) : rowId);
    }
    const bool inserted = query.exec();
    if (inserted && known && query.numRowsAffected() == 0) {
        const qint64 held = SeqOf(rowId);
        if (!m_bBatch)
            query.exec(QStringLiteral("ROLLBACK"));
        if (held <= 0) {
            Fail(QStringLiteral("cannot write %1: the row %2 is neither there nor written").arg(Where(), rowId));
            return 0;
        }
        return held;
    }
    if (!inserted || !Summarise(row) || (!m_bBatch && !query.exec(QStringLiteral("COMMIT")))) {
        QString why = query.lastError().text();
        if (why.isEmpty()) // the summary's own statement failed
            why = QStringLiteral("cannot summarise the row");
        if (!m_bBatch)
            query.exec(QStringLiteral("ROLLBACK"));
        Fail(QStringLiteral("cannot write %1: %2").arg(Where(), why));
        return 0;
    }
    if (m_bBatch) {
        m_newest = row;
        return row.seq; // written once committed
    }
    AnchorCommitted(row);
    if (!m_sError.isEmpty()) {
        LogPrint(LOG_NOTICE, "records: %s is written again\n", qPrintable(Where()));
        m_sError.clear();
    }
    emit StateChanged();
    return row.seq;
}

// The anchor follows the commit, so a reader that takes the anchor first
// never finds it ahead of the rows; under the write lock again, so that
// writers replace it in the order of their rows.
void RecordStore::AnchorCommitted(const Row& newest)
{
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    if (!m_bServer && query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
        Anchor anchor;
        QString why;
        // An accepted loss starts the anchor afresh from the shortened chain.
        if (!ReadAnchor(&anchor, &why) || anchor.seq < newest.seq || newest.kind == QLatin1String(kLossAccepted))
            WriteAnchor(newest);
        query.exec(QStringLiteral("COMMIT"));
    }
    m_sLoss.clear();
}

qint64 RecordStore::SeqOf(const QString& rowId) const
{
    if (!m_bOpen || !m_bServer)
        return -1;
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    query.prepare(QStringLiteral("SELECT seq FROM records WHERE row_id = ?"));
    query.addBindValue(rowId);
    if (!query.exec())
        return -1;
    return query.next() ? query.value(0).toLongLong() : 0;
}

// One JSON line per row, flushed to the disk before the append reports.
bool RecordStore::Hold(const Row& row)
{
    QFile file(HeldPath(m_sPath));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const QJsonObject held { { QStringLiteral("time"), row.time },
                             { QStringLiteral("kind"), row.kind },
                             { QStringLiteral("node"), row.node },
                             { QStringLiteral("content"), QString::fromUtf8(row.content) } };
    const QByteArray line = QJsonDocument(held).toJson(QJsonDocument::Compact) + '\n';
    return file.write(line) == line.size() && file.flush();
}

int RecordStore::HeldCount() const
{
    QFile file(HeldPath(m_sPath));
    return file.open(QIODevice::ReadOnly) ? file.readAll().count('\n') : 0;
}

bool RecordStore::AcceptLoss(const QString& operatorName)
{
    // Held rows left over from an acceptance cut short are let in too.
    const QString loss = m_bOpen ? LossNow() : QString();
    if (!m_bOpen || (loss.isEmpty() && HeldCount() == 0))
        return false;
    QFile heldFile(HeldPath(m_sPath));
    QList<QByteArray> held;
    if (heldFile.open(QIODevice::ReadOnly))
        held = heldFile.readAll().split('\n');
    heldFile.close();
    held.removeAll(QByteArray());
    Row acceptance;
    acceptance.time = Now();
    acceptance.kind = QLatin1String(kLossAccepted);
    acceptance.content = QJsonDocument(QJsonObject { { QStringLiteral("operator"), operatorName },
                                                     { QStringLiteral("loss"), loss },
                                                     { QStringLiteral("held"), held.size() } })
                             .toJson(QJsonDocument::Compact);
    if (!loss.isEmpty() && AppendRow(acceptance) == 0)
        return false;
    for (int i = 0; i < held.size(); ++i) {
        const QJsonObject kept = QJsonDocument::fromJson(held[i]).object();
        Row row;
        row.time = kept.value(QStringLiteral("time")).toString();
        row.kind = kept.value(QStringLiteral("kind")).toString();
        row.node = kept.value(QStringLiteral("node")).toInt();
        row.content = kept.value(QStringLiteral("content")).toString().toUtf8();
        if (AppendRow(row) == 0) {
            // What is not in the store yet stays held, and only that.
            QSaveFile rest(heldFile.fileName());
            if (rest.open(QIODevice::WriteOnly)) {
                for (const QByteArray& line : held.mid(i))
                    rest.write(line + '\n');
                rest.commit();
            }
            return false;
        }
    }
    heldFile.remove();
    return true;
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
    QSqlQuery query;
    return Read(query, QStringLiteral("SELECT ") + Columns() + QStringLiteral(" FROM records WHERE seq = ?"), { seq })
            && query.next()
        ? RowOf(query)
        : Row();
}

qint64 RecordStore::Count() const
{
    if (!m_bOpen)
        return 0;
    QSqlQuery query;
    return Read(query, QStringLiteral("SELECT count(*) FROM records")) && query.next() ? query.value(0).toLongLong() : 0;
}

// The anchor is read before the rows: a writer replaces it only after its
// row is committed, so rows appended meanwhile can only add to what the
// anchor promised, never fall short of it.
RecordStore::Check RecordStore::Verify(const std::function<void(qint64 rows)>& progress) const
{
    Check check;
    if (!m_bOpen) {
        check.reason = m_sError;
        return check;
    }
    Anchor anchor;
    if (!ReadAnchor(&anchor, &check.reason))
        return check;
    QSqlDatabase db = QSqlDatabase::database(m_sConnection, false);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    // One snapshot of the rows, however many are appended while it is read.
    // The time and kind come as the bytes stored, which are what is hashed:
    // no round trip through UTF-16 for each row.
    const auto snapshot = [&](bool begin) {
        QSqlQuery end(db);
        if (m_bServer)
            end.exec(begin ? QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY") : QStringLiteral("ROLLBACK"));
        else if (begin)
            db.transaction();
        else
            db.rollback();
    };
    snapshot(true);
    if (!query.exec(m_bServer ? QStringLiteral("SELECT seq, time, kind, node, content, previous_hash, hash, encoding"
                                               " FROM records ORDER BY seq")
                              : QStringLiteral("SELECT seq, CAST(time AS BLOB), CAST(kind AS BLOB), node,"
                                               " CAST(content AS BLOB), CAST(previous_hash AS BLOB), CAST(hash AS BLOB), ")
                        + (m_bEncodingColumn ? QStringLiteral("encoding") : QStringLiteral("1"))
                        + QStringLiteral(" FROM records ORDER BY seq"))) {
        check.reason = query.lastError().text();
        snapshot(false);
        return check;
    }
    QByteArray previous = kNoHash;
    QByteArray anchored;
    QByteArray bytes;
    bytes.reserve(1024);
    char hex[kHashLength];
    qint64 expected = 1;
    while (query.next()) {
        const qint64 seq = query.value(0).toLongLong();
        const QByteArray previousHash = query.value(5).toByteArray();
        const QByteArray hash = query.value(6).toByteArray();
        const int encoding = query.value(7).toInt();
        check.badRow = expected;
        if (seq != expected) {
            check.reason = QStringLiteral("row %1 is missing").arg(expected);
            break;
        }
        if (previousHash != previous) {
            check.reason = QStringLiteral("row %1 does not follow row %2: one of them was changed, or rows were put "
                                          "between them").arg(seq).arg(seq - 1);
            break;
        }
        bool matches = encoding == 1 || encoding == kEncoding;
        if (matches) {
            Encode(encoding, seq, query.value(1).toByteArray(), query.value(2).toByteArray(), query.value(3).toInt(),
                   query.value(4).toByteArray(), previousHash, bytes);
            Sha256Hex(bytes, hex);
            matches = hash.size() == kHashLength && std::memcmp(hash.constData(), hex, kHashLength) == 0;
        }
        if (!matches) {
            check.reason = QStringLiteral("row %1 was changed: its content does not match its hash").arg(seq);
            break;
        }
        if (seq == anchor.seq)
            anchored = hash;
        previous = hash;
        ++expected;
        check.rows = seq;
        if (progress && seq % kProgressRows == 0)
            progress(seq);
    }
    query.finish();
    snapshot(false);
    if (!check.reason.isEmpty())
        return check;
    check.badRow = 0;
    if (anchor.seq > check.rows) {
        check.badRow = check.rows + 1;
        check.reason = QStringLiteral("rows %1 to %2 are missing from the end").arg(check.rows + 1).arg(anchor.seq);
    } else if (anchor.seq > 0 && anchored != anchor.hash) {
        check.badRow = anchor.seq;
        check.reason = QStringLiteral("row %1 is not the one this console wrote").arg(anchor.seq);
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
    file.write("seq,time,kind,node,content,previous_hash,hash,encoding,signature\n");
    // A row at a time: memory stays flat whatever the store holds.
    const bool read = Scan([&file](const Row& row) {
        const QStringList fields { QString::number(row.seq), row.time, row.kind, QString::number(row.node),
                                   QString::fromUtf8(row.content), QString::fromLatin1(row.previousHash),
                                   QString::fromLatin1(row.hash), QString::number(row.encoding),
                                   QString::fromLatin1(row.signature) };
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
    const QString why = BeginWrite(query);
    if (!why.isEmpty())
        return Fail(QStringLiteral("cannot write %1: %2").arg(Where(), why));
    m_bBatch = true;
    m_newest = Row();
    m_sLoss = LossNow();
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
        return Fail(QStringLiteral("cannot write %1: %2").arg(Where(), why));
    }
    m_bBatch = false;
    if (m_newest.seq > 0)
        AnchorCommitted(m_newest);
    if (!m_sError.isEmpty()) {
        LogPrint(LOG_NOTICE, "records: %s is written again\n", qPrintable(Where()));
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
    QString statement = QStringLiteral("SELECT ") + Columns() + QStringLiteral(" FROM records WHERE seq > ?");
    QVariantList values { after };
    if (!kind.isEmpty()) {
        statement += QStringLiteral(" AND kind = ?");
        values << kind;
    }
    if (node >= 0) {
        statement += QStringLiteral(" AND node = ?");
        values << node;
    }
    QSqlQuery query;
    if (!Read(query, statement + QStringLiteral(" ORDER BY seq"), values))
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
    QSqlQuery query;
    return Read(query, QStringLiteral("SELECT max(seq) FROM records")) && query.next() ? query.value(0).toLongLong() : 0;
}

QVector<int> RecordStore::Nodes() const
{
    QVector<int> nodes;
    if (!m_bOpen)
        return nodes;
    QSqlQuery query;
    if (Read(query, QStringLiteral("SELECT node FROM summary_nodes ORDER BY node"))) {
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
    const QString statement = node == kNewestOfEachNode
        ? QStringLiteral("SELECT seq, node, serial, date, verdict, operator, certificate"
                         " FROM summary_calibrations WHERE seq IN (SELECT max(seq) FROM"
                         " summary_calibrations WHERE seq > ? GROUP BY node) ORDER BY seq")
        : QStringLiteral("SELECT seq, node, serial, date, verdict, operator, certificate"
                         " FROM summary_calibrations WHERE seq > ?%1 ORDER BY seq")
              .arg(node >= 0 ? QStringLiteral(" AND node = ?") : QString());
    QVariantList values { after };
    if (node >= 0)
        values << node;
    QSqlQuery query;
    if (Read(query, statement, values)) {
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
        query.prepare(m_bServer ? QStringLiteral("INSERT INTO summary_nodes (node) VALUES (?) ON CONFLICT DO NOTHING")
                                : QStringLiteral("INSERT OR IGNORE INTO summary_nodes (node) VALUES (?)"));
        query.addBindValue(row.node);
        if (!query.exec())
            return false;
    }
    if (row.kind == QLatin1String("calibration")) {
        const CalibrationSummary summary = CalibrationSummary::Of(row);
        // A record without a serial, an operator or a verdict is summarised
        // with empty ones; the summary's NULL would refuse the record.
        const auto text = [](const QString& value) { return value.isNull() ? QStringLiteral("") : value; };
        query.prepare(QLatin1String(m_bServer ? "INSERT INTO" : "INSERT OR REPLACE INTO")
                      + QStringLiteral(" summary_calibrations (seq, node, serial, date, verdict, operator, certificate)"
                                       " VALUES (?, ?, ?, ?, ?, ?, ?)"));
        query.addBindValue(summary.seq);
        query.addBindValue(summary.node);
        query.addBindValue(text(summary.serial));
        query.addBindValue(text(summary.date.toString(Qt::ISODate)));
        query.addBindValue(text(summary.verdict));
        query.addBindValue(text(summary.operatorName));
        query.addBindValue(text(summary.certificate));
        if (!query.exec())
            return false;
    }
    // Every console summarises in the row's own transaction there, and
    // may not update.
    if (m_bServer)
        return true;
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

QString RecordStore::Where() const
{
    return m_bServer ? RecordServer::Shown(m_sPath) : QDir::toNativeSeparators(m_sPath);
}

QString RecordStore::BeginWrite(QSqlQuery& query)
{
    if (m_bServer) {
        QSqlDatabase db = QSqlDatabase::database(m_sConnection, false);
        if (db.isOpen() && RecordServer::BeginAppend(query).isEmpty())
            return QString();
        // A server restarted, or answering again: a fresh connection, once.
        db.close();
        if (!db.open())
            return QStringLiteral("cannot reach the lab server: %1").arg(db.lastError().text().trimmed());
        query = QSqlQuery(db);
        return RecordServer::BeginAppend(query);
    }
    return query.exec(QStringLiteral("BEGIN IMMEDIATE")) ? QString() : query.lastError().text();
}

// A lab server restarted, or answering again after a while away, broke the
// connection: each read tries a fresh one, at most every kReconnectMs, so a
// server out of reach holds up the reading thread (the window's, often) for
// no more than its connect timeout now and then. Never inside a write's
// transaction, which the connection's end has rolled back.
bool RecordStore::Read(QSqlQuery& query, const QString& statement, const QVariantList& values) const
{
    for (int attempt = 0;; ++attempt) {
        query = QSqlQuery(QSqlDatabase::database(m_sConnection, false));
        query.setForwardOnly(true);
        bool done = query.prepare(statement);
        for (const QVariant& value : values)
            query.addBindValue(value);
        done = done && query.exec();
        if (done || attempt > 0 || !m_bServer || m_bBatch)
            return done;
        if (m_reconnected.isValid() && m_reconnected.elapsed() < kReconnectMs)
            return false;
        m_reconnected.start();
        query = QSqlQuery();
        QSqlDatabase db = QSqlDatabase::database(m_sConnection, false);
        db.close();
        if (!db.open())
            return false;
        LogPrint(LOG_NOTICE, "records: connected again to %s\n", qPrintable(Where()));
    }
}

// Made by --records-init, never by a console, whose role may not.
QString RecordStore::ConnectServer(bool create)
{
    const QString why = RecordServer::Connect(
        m_sPath, m_sConnection, create ? RecordServer::kConnectTimeoutS : RecordServer::kReadingConnectTimeoutS);
    if (!why.isEmpty())
        return why;
    m_bEncodingColumn = true;
    m_bSignatureColumn = true;
    QSqlQuery query(QSqlDatabase::database(m_sConnection, false));
    if (!query.exec(QStringLiteral("SELECT max(seq) FROM records")))
        return QStringLiteral("%1 is not a record store (--records-init makes one): %2")
            .arg(Where(), query.lastError().text().trimmed());
    return QString();
}
