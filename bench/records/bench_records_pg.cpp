// The record store on a lab's PostgreSQL server against the SQLite file on
// the same machine: appends per second and their 99th-percentile latency
// with 1, 4 and 8 consoles appending at once (each a process of its own,
// each row in its own transaction), then the full verification of ROWS rows
// on the server. The server is one of the benchmark's own
// (scripts/pg-test-server), unless DOSEGATE_TEST_SERVER names one.
//
//   bench_records_pg [--writers 1,4,8] [--appends N] [--rows 1000000]
#include "BenchSupport.h"
#include "RecordServer.h"
#include "RecordStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const char* const kTag = "RECORDSPG";

double Ms(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

double Percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(share * double(values.size())))];
}

// One console appending rows, each in its own transaction.
int ChildAppend(const QString& location, int appends)
{
    RecordStore store;
    if (!store.Open(location, false))
        return 1;
    std::vector<double> latencies;
    int busy = 0;
    QElapsedTimer all;
    all.start();
    QElapsedTimer timer;
    for (int i = 0; i < appends; ++i) {
        timer.start();
        // A store busy beyond its timeout is tried again, as the records
        // thread does; the row's latency is all of it.
        int tries = 0;
        while (store.Append(QStringLiteral("node state"), 1 + i % 255, { { "state", "Live" } }) == 0) {
            if (++tries == 20)
                return 1;
            ++busy;
        }
        latencies.push_back(Ms(timer));
    }
    std::printf("%s\n", qPrintable(Bench::FiguresLine(kTag, { { "ms", Ms(all) }, { "p99", Percentile(latencies, 0.99) },
                                                              { "p50", Percentile(latencies, 0.5) }, { "busy", busy } })));
    return 0;
}

int ChildVerify(const QString& location)
{
    QElapsedTimer timer;
    timer.start();
    RecordStore store;
    if (!store.OpenExisting(location))
        return 1;
    const RecordStore::Check check = store.Verify();
    if (!check.Intact())
        return 1;
    std::printf("%s\n", qPrintable(Bench::FiguresLine(kTag, { { "ms", Ms(timer) }, { "rows", double(check.rows) },
                                                              { "mib", Bench::PeakMib() } })));
    return 0;
}

// A database of its own on the server, made as --records-init makes one;
// the consoles' address to it.
QString FreshDatabase(const QString& server, const QString& name)
{
    QUrl url(server);
    {
        const QString why = RecordServer::Connect(server, QStringLiteral("bench-admin"));
        QSqlQuery query(QSqlDatabase::database(QStringLiteral("bench-admin")));
        if (!why.isEmpty() || !query.exec(QStringLiteral("CREATE DATABASE ") + name)) {
            std::fprintf(stderr, "cannot make the database %s: %s\n", qPrintable(name), qPrintable(why));
            return QString();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-admin"));
    url.setPath(QLatin1Char('/') + name);
    const QString why = RecordServer::Init(url.toString());
    if (!why.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(why));
        return QString();
    }
    url.setUserName(QLatin1String(RecordServer::kConsoleRole));
    return url.toString();
}

// W writers at once: rows per second over all of them, and the worst
// writer's 99th percentile.
QMap<QString, double> Writers(const QString& location, int writers, int appends)
{
    {
        RecordStore store; // the store and the console's key made before any writer
        store.Open(location, false);
    }
    std::vector<QProcess*> children;
    QElapsedTimer wall;
    wall.start();
    for (int i = 0; i < writers; ++i) {
        children.push_back(new QProcess);
        children.back()->start(QCoreApplication::applicationFilePath(),
                               { "--child", "append", location, QString::number(appends) });
    }
    double p99 = 0.0;
    double p50 = 0.0;
    double busy = 0.0;
    bool all = true;
    for (QProcess* child : children) {
        child->waitForFinished(600000);
        const QMap<QString, double> figures = Bench::ReadFigures(QString::fromUtf8(child->readAllStandardOutput()), kTag);
        all = all && child->exitCode() == 0 && !figures.isEmpty();
        p99 = std::max(p99, figures.value(QStringLiteral("p99")));
        p50 = std::max(p50, figures.value(QStringLiteral("p50")));
        busy += figures.value(QStringLiteral("busy"));
        delete child;
    }
    const double seconds = Ms(wall) / 1e3;
    if (!all)
        return {};
    return { { "perSecond", writers * appends / seconds }, { "p99", p99 }, { "p50", p50 }, { "busy", busy } };
}

} // namespace

int main(int argc, char* argv[])
{
    const QStringList arguments = Bench::Arguments(argc, argv);
    const int child = int(arguments.indexOf(QStringLiteral("--child")));
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dosegate-console"));
    if (child > 0) {
        const QString what = arguments.value(child + 1);
        return what == QLatin1String("append") ? ChildAppend(arguments.value(child + 2), arguments.value(child + 3).toInt())
                                               : ChildVerify(arguments.value(child + 2));
    }
    QVector<int> counts;
    for (const QString& count : Bench::TextArgument(arguments, "--writers", QStringLiteral("1,4,8")).split(','))
        counts.append(count.toInt());
    const int appends = std::max(10, Bench::IntArgument(arguments, "--appends", 500));
    const int rows = std::max(1, Bench::IntArgument(arguments, "--rows", 1000000));

    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QString server = qEnvironmentVariable("DOSEGATE_TEST_SERVER");
    QTemporaryDir serverHome; // its owner the server's, when run as root
    const QString serverDir = serverHome.path();
    if (server.isEmpty()) {
        QProcess start;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DOSEGATE_PG_FSYNC"), QStringLiteral("on")); // as a lab's server runs
        start.setProcessEnvironment(environment);
        start.start(QStringLiteral(PG_TEST_SERVER), { "start", serverDir });
        start.waitForFinished(120000);
        const QString exports = QString::fromUtf8(start.readAllStandardOutput());
        for (const QString& line : exports.split('\n')) {
            if (line.startsWith(QLatin1String("export DOSEGATE_TEST_SERVER=")))
                server = line.section('=', 1);
        }
        if (server.isEmpty()) {
            std::fprintf(stderr, "cannot start a server: %s\n", start.readAllStandardError().constData());
            return 1;
        }
    }
    QDir(home.path()).mkpath(QStringLiteral("sqlite"));
    std::printf("appends, each row in its own transaction, %d by each writer (a process of its own); this machine,"
                " server on loopback\n\n",
                appends);
    std::printf("%8s %8s %14s %10s %12s %12s\n", "engine", "writers", "appends/s", "p50", "p99 (worst)",
                "busy, again");
    int made = 0;
    for (int writers : counts) {
        for (const bool onServer : { true, false }) {
            ++made;
            const QString location = onServer ? FreshDatabase(server, QStringLiteral("bench_%1").arg(made))
                                              : home.filePath(QStringLiteral("sqlite/records-%1.sqlite").arg(made));
            if (location.isEmpty())
                return 1;
            const QMap<QString, double> figures = Writers(location, writers, appends);
            if (figures.isEmpty()) {
                std::fprintf(stderr, "%d writers on %s failed\n", writers, qPrintable(location));
                return 1;
            }
            std::printf("%8s %8d %14.0f %7.2f ms %9.2f ms %12.0f\n", onServer ? "server" : "sqlite", writers,
                        figures.value("perSecond"), figures.value("p50"), figures.value("p99"), figures.value("busy"));
            std::fflush(stdout);
        }
    }
    // Generated in transactions of 10,000 rows through the store's own append.
    const QString big = FreshDatabase(server, QStringLiteral("bench_verify"));
    if (big.isEmpty())
        return 1;
    QElapsedTimer timer;
    timer.start();
    {
        RecordStore store;
        if (!store.Open(big, false))
            return 1;
        for (int i = 0; i < rows; i += 10000) {
            store.Begin();
            for (int j = i; j < std::min(rows, i + 10000); ++j)
                store.Append(QStringLiteral("node state"), 1 + j % 255, { { "state", "Stale" } });
            if (!store.Commit()) {
                std::fprintf(stderr, "cannot generate: %s\n", qPrintable(store.Error()));
                return 1;
            }
        }
    }
    const double generateS = Ms(timer) / 1e3;
    QString error;
    const QMap<QString, double> verify = Bench::RunChild(QCoreApplication::applicationFilePath(),
                                                         { "--child", "verify", big }, kTag, &error,
                                                         QProcessEnvironment::systemEnvironment(), 3600000);
    if (verify.isEmpty()) {
        std::fprintf(stderr, "verification failed: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("\nfull verification of %.0f rows on the server: %.2f s, peak %.0f MiB (generated in %.1f s)\n",
                verify.value("rows"), verify.value("ms") / 1e3, verify.value("mib"), generateS);
    if (qEnvironmentVariableIsEmpty("DOSEGATE_TEST_SERVER"))
        QProcess::execute(QStringLiteral(PG_TEST_SERVER), { "stop", serverDir });
    return 0;
}
