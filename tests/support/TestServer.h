#ifndef DOSEGATE_TESTSERVER_H
#define DOSEGATE_TESTSERVER_H

#include "RecordServer.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

// The PostgreSQL server scripts/test starts for the suite (scripts/pg-test-server),
// named by DOSEGATE_TEST_SERVER as a superuser's address.
class TestServer
{
public:
    static QString Address() { return qEnvironmentVariable("DOSEGATE_TEST_SERVER"); }

    // A database of its own, made as --records-init makes one, and the
    // address a console connects to it with; empty when there is no server
    // or it could not be made (*pWhy says why).
    static QString FreshStore(QString* pWhy)
    {
        static int made = 0;
        QUrl url(Address());
        const QString name = QStringLiteral("records_%1_%2").arg(QCoreApplication::applicationPid()).arg(++made);
        // Connected afresh: a test may have stopped and started the server.
        *pWhy = RecordServer::Connect(url.toString(), QStringLiteral("test-server"));
        {
            QSqlQuery query(QSqlDatabase::database(QStringLiteral("test-server"), false));
            if (pWhy->isEmpty() && !query.exec(QStringLiteral("CREATE DATABASE ") + name))
                *pWhy = query.lastError().text();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("test-server"));
        url.setPath(QLatin1Char('/') + name);
        if (pWhy->isEmpty())
            *pWhy = RecordServer::Init(url.toString());
        url.setUserName(QLatin1String(RecordServer::kConsoleRole));
        return pWhy->isEmpty() ? url.toString() : QString();
    }
};

#endif
