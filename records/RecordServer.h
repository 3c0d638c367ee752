#ifndef DOSEGATE_RECORDSERVER_H
#define DOSEGATE_RECORDSERVER_H

#include <QString>

class QSqlQuery;

// The lab's record store on a PostgreSQL server, shared by every console:
// how it is reached, made and locked. The rows, their hashes and signatures
// are the record store's own, whichever engine keeps them.
//
// The console connects as the consoles' role, which may only read and
// insert: an edit is refused by the server's own access control. The
// password comes from ~/.pgpass or PGPASSWORD, which libpq reads itself;
// the console never keeps one.
class RecordServer
{
public:
    static constexpr const char* kOwnerRole = "dosegate_owner";
    static constexpr const char* kConsoleRole = "dosegate_console";

    // postgresql://user@host:port/database (or postgres://).
    static bool IsServer(const QString& location);
    // What keeps an address from naming a server the console may keep in
    // its settings and connect to.
    enum Fault { NoFault, NotAnAddress, HoldsPassword };
    static Fault FaultOf(const QString& location);
    // The location without a password, for messages and logs.
    static QString Shown(const QString& location);
    // "host-port-database", for the files a console keeps of this server.
    static QString LocalName(const QString& location);
    // How long a connection may take to be made, in seconds: a store that
    // only reads is often read on the window's thread, which must not
    // freeze for long when the server is out of reach.
    static constexpr int kConnectTimeoutS = 5;
    static constexpr int kReadingConnectTimeoutS = 2;
    // Opens the named Qt SQL connection; why it could not, else empty.
    static QString Connect(const QString& location, const QString& connection, int timeoutS = kConnectTimeoutS);
    // The tables, and the owner's and the consoles' roles; run as a user
    // who may create roles. Done again, it changes nothing. Why it could
    // not, else empty.
    static QString Init(const QString& location);
    // Opens the appending transaction and takes the lock that serialises
    // appends from every console until it ends: the chain never forks.
    // Why it could not, else empty.
    static QString BeginAppend(QSqlQuery& query);

    // Who wrote a row: the PC's host name.
    static QString ConsoleId();
};

#endif
