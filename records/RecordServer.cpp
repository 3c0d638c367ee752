#include "RecordServer.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSysInfo>
#include <QUrl>
#include <QVariant>

namespace {

const char* const kDriver = "QPSQL";
constexpr int kDefaultPort = 5432;
// Any number, the same in every console: the key of the appending lock.
constexpr qint64 kAppendLock = 0x646f736567617465; // "dosegate"

// The same rows as the embedded store, and who wrote each, with an id of
// its own that the server takes once only. The triggers keep even the
// owner's programs from changing a row; the consoles' role may not try.
const char* const kInit[] = {
    "SET LOCAL client_min_messages = warning", // not "already exists" when done again
    "DO $$ BEGIN"
    " IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'dosegate_owner') THEN CREATE ROLE dosegate_owner NOLOGIN;"
    " END IF;"
    " IF NOT EXISTS (SELECT FROM pg_roles WHERE rolname = 'dosegate_console') THEN CREATE ROLE dosegate_console LOGIN;"
    " END IF; END $$",
    "CREATE TABLE IF NOT EXISTS records ("
    " seq bigint PRIMARY KEY, time text NOT NULL, kind text NOT NULL, node integer NOT NULL,"
    " content text NOT NULL, previous_hash text NOT NULL, hash text NOT NULL, encoding integer NOT NULL,"
    " signature text NOT NULL DEFAULT '', console text NOT NULL, row_id uuid NOT NULL UNIQUE)",
    "CREATE INDEX IF NOT EXISTS records_kind_node ON records (kind, node)",
    "CREATE TABLE IF NOT EXISTS summary_nodes (node integer PRIMARY KEY)",
    "CREATE TABLE IF NOT EXISTS summary_calibrations ("
    " seq bigint PRIMARY KEY, node integer NOT NULL, serial text NOT NULL, date text NOT NULL,"
    " verdict text NOT NULL, operator text NOT NULL, certificate text NOT NULL)",
    "CREATE INDEX IF NOT EXISTS summary_calibrations_node ON summary_calibrations (node, seq)",
    "CREATE OR REPLACE FUNCTION records_kept() RETURNS trigger LANGUAGE plpgsql AS"
    " $$ BEGIN RAISE EXCEPTION 'records are never changed or deleted'; END $$",
    "CREATE OR REPLACE TRIGGER records_kept BEFORE UPDATE OR DELETE ON records"
    " FOR EACH ROW EXECUTE FUNCTION records_kept()",
    "CREATE OR REPLACE TRIGGER records_never_truncated BEFORE TRUNCATE ON records"
    " FOR EACH STATEMENT EXECUTE FUNCTION records_kept()",
    "ALTER TABLE records OWNER TO dosegate_owner",
    "ALTER TABLE summary_nodes OWNER TO dosegate_owner",
    "ALTER TABLE summary_calibrations OWNER TO dosegate_owner",
    "ALTER FUNCTION records_kept() OWNER TO dosegate_owner",
    "REVOKE ALL ON records, summary_nodes, summary_calibrations FROM PUBLIC, dosegate_console",
    "GRANT SELECT, INSERT ON records, summary_nodes, summary_calibrations TO dosegate_console",
    "GRANT USAGE ON SCHEMA public TO dosegate_console",
    "DO $$ BEGIN EXECUTE format('GRANT CONNECT ON DATABASE %I TO dosegate_console', current_database()); END $$",
};

} // namespace

bool RecordServer::IsServer(const QString& location)
{
    return location.startsWith(QLatin1String("postgresql://")) || location.startsWith(QLatin1String("postgres://"));
}

RecordServer::Fault RecordServer::FaultOf(const QString& location)
{
    const QUrl url(location, QUrl::StrictMode);
    if (!IsServer(location) || !url.isValid() || url.host().isEmpty() || url.path().size() < 2)
        return NotAnAddress;
    // Kept nowhere, so never written in the console's settings or logs.
    return url.password().isEmpty() ? NoFault : HoldsPassword;
}

QString RecordServer::Shown(const QString& location)
{
    return QUrl(location).toString(QUrl::RemovePassword);
}

QString RecordServer::LocalName(const QString& location)
{
    const QUrl url(location);
    QString name = QStringLiteral("%1-%2-%3").arg(url.host()).arg(url.port(kDefaultPort)).arg(url.path().mid(1));
    for (QChar& c : name) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('.'))
            c = QLatin1Char('_');
    }
    return name;
}

QString RecordServer::Connect(const QString& location, const QString& connection, int timeoutS)
{
    const QUrl url(location, QUrl::StrictMode);
    const QString shown = Shown(location);
    switch (FaultOf(location)) {
    case NotAnAddress:
        return QStringLiteral("%1 is not a server's address: postgresql://USER@HOST:PORT/DATABASE").arg(shown);
    case HoldsPassword:
        return QStringLiteral("%1 holds a password: it belongs in ~/.pgpass or PGPASSWORD").arg(shown);
    case NoFault:
        break;
    }
    if (!QSqlDatabase::isDriverAvailable(QLatin1String(kDriver)))
        return QStringLiteral("Qt's PostgreSQL driver is not installed (libqt5sql5-psql or libqt6sql6-psql)");
    QSqlDatabase db = QSqlDatabase::addDatabase(QLatin1String(kDriver), connection);
    db.setHostName(url.host());
    db.setPort(url.port(kDefaultPort));
    db.setUserName(url.userName());
    db.setDatabaseName(url.path().mid(1));
    db.setConnectOptions(QStringLiteral("connect_timeout=%1").arg(timeoutS));
    if (!db.open())
        return QStringLiteral("cannot reach %1: %2").arg(shown, db.lastError().text().trimmed());
    return QString();
}

QString RecordServer::Init(const QString& location)
{
    const QString connection = QStringLiteral("records-init");
    QString why = Connect(location, connection);
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        QSqlQuery query(db);
        if (why.isEmpty() && !query.exec(QStringLiteral("BEGIN")))
            why = query.lastError().text();
        for (const char* statement : kInit) {
            if (!why.isEmpty())
                break;
            if (!query.exec(QLatin1String(statement)))
                why = QStringLiteral("%1: %2").arg(Shown(location), query.lastError().text().trimmed());
        }
        if (why.isEmpty() && !query.exec(QStringLiteral("COMMIT")))
            why = query.lastError().text();
        if (!why.isEmpty() && db.isOpen())
            query.exec(QStringLiteral("ROLLBACK"));
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return why;
}

QString RecordServer::BeginAppend(QSqlQuery& query)
{
    // A closed connection fails with no error of its own.
    if (!query.exec(QStringLiteral("BEGIN")))
        return query.lastError().text().trimmed().isEmpty() ? QStringLiteral("not connected")
                                                            : query.lastError().text().trimmed();
    if (query.exec(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kAppendLock)))
        return QString();
    const QString why = query.lastError().text().trimmed();
    query.exec(QStringLiteral("ROLLBACK"));
    return why;
}

QString RecordServer::ConsoleId()
{
    return QSysInfo::machineHostName();
}
