// The record store at 10,000, 100,000 and 1,000,000 rows, each generated
// in one transaction through the store's own append: the console's start-up
// (window shown and its register built) against an empty store's, with its
// peak memory; the register alone; the latency of a single append with its
// own transaction and full sync; the full verification and the one a
// certificate makes; the export, with its peak memory. What needs a
// process of its own runs as a child of this program.
//
//   bench_records [--sizes 10000,100000,1000000] [--appends N] [--keep DIR]
//
// --keep leaves each size's data folder in DIR/ROWS, for a profiler (run
// "bench_records --child verify" with XDG_DATA_HOME and XDG_CONFIG_HOME set
// to one of them) and for the next run, which takes the store found there
// instead of generating it again (its rows grow by the appends measured).
#include "BenchSupport.h"
#include "CalibrationRegister.h"
#include "CalibrationSummary.h"
#include "CertificateWriter.h"
#include "RecordStore.h"
#include "RecordVerifier.h"
#include "SetwiseDosegate.h"

#include <QApplication>
#include <QGuiApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QLabel>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const char* const kTag = "RECORDS";
constexpr int kNodes = 255;
constexpr int kCalibrationEvery = 100; // one row in a hundred

double Ms(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

QJsonObject Calibration(int node, int i)
{
    QJsonArray points;
    for (const char* stage : { "as found", "as left" }) {
        points.append(QJsonObject { { "stage", stage }, { "range", 1 }, { "time", "2026-03-10T10:15:00.000+01:00" },
                                    { "trueValue", 0.09 }, { "background", 0.001 }, { "referenceUncertainty", 3.5 },
                                    { "n", 20 }, { "mean", 0.1008 }, { "standardDeviation", 0.0124 },
                                    { "error", 12 }, { "expandedUncertainty", 9.87 }, { "coverageFactor", 2.14 },
                                    { "tolerance", 10 }, { "rule", "simple acceptance" }, { "verdict", "PASS" },
                                    { "journal", "runs/a.csv" }, { "firstLine", 2 }, { "lastLine", 21 } });
    }
    return { { "node", node }, { "serial", QStringLiteral("SN-%1").arg(i) },
             { "opened", "2026-03-10T10:00:00.000+01:00" }, { "finished", "2026-03-11T09:00:00.000+01:00" },
             { "console", "1.3.4.1" }, { "asFoundCoefficients", QJsonArray { 1, 1, 1 } }, { "points", points },
             { "adjustments", QJsonArray() }, { "warnings", QJsonArray() }, { "operator", "A. Tester" },
             { "reference", QJsonObject { { "source", "Cs-137" }, { "certificate", "REF-1" } } },
             { "laboratory", QJsonObject { { "name", "Laboratory" }, { "address", "Road" } } } };
}

// A busy console's mix: node states, commands with their replies, and a
// calibration now and then.
bool Generate(const QString& path, int rows, QString* error)
{
    RecordStore store;
    if (!store.Open(path) || !store.Begin()) {
        *error = store.Error();
        return false;
    }
    for (int i = 1; i <= rows; ++i) {
        const int node = 1 + i % kNodes;
        qint64 seq = 0;
        if (i % kCalibrationEvery == 0)
            seq = store.Append(QStringLiteral("calibration"), node, Calibration(node, i));
        else if (i % 3 == 0)
            seq = store.Append(QStringLiteral("command"), node,
                               { { "command", "threshold" }, { "frame", "ff 0e 01 02 03 04 05 06" }, { "threshold", 1.5 } });
        else if (i % 3 == 1)
            seq = store.Append(QStringLiteral("acknowledgement"), node,
                               { { "reply", 1 }, { "value", 0 }, { "acknowledges", i - 1 } });
        else
            seq = store.Append(QStringLiteral("node state"), node, { { "state", "Stale" } });
        if (seq == 0) {
            *error = store.Error();
            store.Rollback();
            return false;
        }
    }
    if (!store.Commit()) {
        *error = store.Error();
        return false;
    }
    return true;
}

// The console's window, made and shown, until its records tab counts the
// rows and its register lists the nodes.
int ChildStartup(int argc, char* argv[])
{
    QElapsedTimer timer;
    timer.start();
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dosegate-console"));
    SetwiseDosegate window;
    window.show();
    // The register as the operator sees it, on its tab.
    window.findChild<QTabWidget*>(QStringLiteral("tabWidget"))
        ->setCurrentWidget(window.findChild<QWidget*>(QStringLiteral("records")));
    const QLabel* state = window.findChild<QLabel*>(QStringLiteral("records_state"));
    const QTableView* nodes = window.findChild<QTableView*>(QStringLiteral("node_register"));
    Bench::WaitFor([&] {
        return state->text().endsWith(QLatin1String("rows kept: 0"))
            || (state->text().contains(QLatin1String("rows kept")) && nodes->model()->rowCount() > 0);
    }, 600000);
    QCoreApplication::processEvents();
    const double ms = Ms(timer);
    std::printf("%s\n", qPrintable(Bench::FiguresLine(kTag, { { "ms", ms }, { "mib", Bench::PeakMib() } })));
    return 0;
}

int ChildCommand(int argc, char* argv[], const QString& what, const QString& file)
{
    QGuiApplication application(argc, argv); // the certificate's PDF writer needs one
    QCoreApplication::setApplicationName(QStringLiteral("dosegate-console"));
    QElapsedTimer timer;
    timer.start();
    RecordStore store;
    if (!store.OpenExisting(RecordStore::DefaultPath()))
        return 1;
    QMap<QString, double> figures;
    if (what == QLatin1String("verify")) { // as --verify-records does
        const RecordStore::Check check = store.Verify();
        if (!check.Intact())
            return 1;
        figures.insert(QStringLiteral("rows"), double(check.rows));
    } else if (what == QLatin1String("export")) {
        if (!store.ExportCsv(file).isEmpty())
            return 1;
    } else if (what == QLatin1String("register")) {
        CalibrationRegister nodes(&store);
        figures.insert(QStringLiteral("nodes"), nodes.rowCount());
    } else if (what == QLatin1String("certificate")) {
        // After the full verification the console makes once it is open, a
        // first certificate (fonts loaded) and a hundred rows more.
        RecordVerifier::Full(store);
        const QVector<CalibrationSummary> calibrations = store.LastCalibrations();
        const CertificateWriter certificates(&store);
        if (calibrations.isEmpty() || !certificates.Write(calibrations.first().seq).Written())
            return 1;
        {
            RecordStore writer;
            writer.Open(store.Path());
            writer.Begin();
            for (int i = 0; i < 100; ++i)
                writer.Append(QStringLiteral("node state"), 1, { { "state", "Live" } });
            writer.Commit();
        }
        timer.restart();
        if (!certificates.Write(calibrations.last().seq).Written())
            return 1;
    }
    figures.insert(QStringLiteral("ms"), Ms(timer));
    figures.insert(QStringLiteral("mib"), Bench::PeakMib());
    std::printf("%s\n", qPrintable(Bench::FiguresLine(kTag, figures)));
    return 0;
}

struct Child {
    QString program;
    QProcessEnvironment environment;

    QMap<QString, double> Run(const QStringList& arguments) const
    {
        QString error;
        const QMap<QString, double> figures
            = Bench::RunChild(program, QStringList { "--child" } + arguments, kTag, &error, environment, 1800000);
        if (figures.isEmpty())
            std::fprintf(stderr, "%s\n", qPrintable(error));
        return figures;
    }
};

double Percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(share * double(values.size())))];
}

QString Thousands(qint64 n)
{
    QString text = QString::number(n);
    for (int at = text.size() - 3; at > 0; at -= 3)
        text.insert(at, QLatin1Char(','));
    return text;
}

} // namespace

int main(int argc, char* argv[])
{
    const QStringList arguments = Bench::Arguments(argc, argv);
    const int child = int(arguments.indexOf(QStringLiteral("--child")));
    if (child > 0) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        const QString what = arguments.value(child + 1);
        return what == QLatin1String("startup") ? ChildStartup(argc, argv)
                                                : ChildCommand(argc, argv, what, arguments.value(child + 2));
    }
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dosegate-console"));
    QVector<int> sizes;
    for (const QString& size : Bench::TextArgument(arguments, "--sizes", QStringLiteral("10000,100000,1000000")).split(','))
        sizes.append(size.toInt());
    const int appends = std::max(10, Bench::IntArgument(arguments, "--appends", 200));

    std::printf("record store: a calibration every %d rows, the rest commands, replies and node states of %d nodes;"
                " Release, this disk\n\n", kCalibrationEvery, kNodes);
    std::printf("%9s %9s %12s %9s %10s %11s %11s %10s %10s %10s %10s %9s\n", "rows", "generate", "start-up",
                "peak MiB", "register", "append med", "append p99", "verify", "issue", "export", "export MiB",
                "MiB/row");
    std::fflush(stdout);
    QTemporaryDir emptyHome;
    Child console { QCoreApplication::applicationFilePath(), QProcessEnvironment::systemEnvironment() };
    console.environment.insert(QStringLiteral("XDG_DATA_HOME"), emptyHome.path());
    console.environment.insert(QStringLiteral("XDG_CONFIG_HOME"), emptyHome.path());
    // The median of three, each in a process of its own.
    const auto startup = [&console] {
        std::vector<double> ms;
        double mib = 0.0;
        for (int run = 0; run < 3; ++run) {
            const QMap<QString, double> figures = console.Run({ "startup" });
            ms.push_back(figures.value(QStringLiteral("ms")));
            mib = std::max(mib, figures.value(QStringLiteral("mib")));
        }
        return QMap<QString, double> { { "ms", Bench::Median(ms) }, { "mib", mib } };
    };
    const QMap<QString, double> empty = startup();
    const double emptyStartup = empty.value(QStringLiteral("ms"));
    std::printf("%9d %9s %9.0f ms %9.1f\n", 0, "", emptyStartup, empty.value(QStringLiteral("mib")));
    std::fflush(stdout);
    QMap<int, double> startupRatio;
    QMap<int, double> verifySeconds;
    const QString keep = Bench::TextArgument(arguments, "--keep");
    for (int rows : sizes) {
        QTemporaryDir temporary;
        const QDir home(keep.isEmpty() ? temporary.path() : QDir(keep).filePath(QString::number(rows)));
        QDir().mkpath(home.path());
        qputenv("XDG_DATA_HOME", home.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        console.environment.insert(QStringLiteral("XDG_DATA_HOME"), home.path());
        console.environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
        const QString path = RecordStore::DefaultPath();
        QElapsedTimer timer;
        timer.start();
        QString error;
        const bool kept = !keep.isEmpty() && QFileInfo::exists(path);
        if (!kept && !Generate(path, rows, &error)) {
            std::fprintf(stderr, "cannot generate %d rows: %s\n", rows, qPrintable(error));
            return 1;
        }
        const double generateS = kept ? 0.0 : Ms(timer) / 1e3;
        const QMap<QString, double> started = startup();
        const QMap<QString, double> registerBuild = console.Run({ "register" });
        const QMap<QString, double> verify = console.Run({ "verify" });
        const QMap<QString, double> issue = console.Run({ "certificate" });
        const QMap<QString, double> exported = console.Run({ "export", home.filePath(QStringLiteral("out.csv")) });
        std::vector<double> latencies;
        {
            RecordStore store;
            store.Open(path);
            for (int i = 0; i < appends; ++i) {
                timer.restart();
                store.Append(QStringLiteral("node state"), 1 + i % kNodes, { { "state", "Live" } });
                latencies.push_back(Ms(timer));
            }
        }
        const double mibPerRow = double(QFileInfo(path).size()) / double(1 << 20) / rows;
        std::printf("%9d %7.1f s %9.0f ms %9.1f %7.1f ms %8.2f ms %8.2f ms %8.2f s %7.1f ms %8.2f s %10.1f %9.6f\n",
                    rows, generateS, started.value("ms"), started.value("mib"), registerBuild.value("ms"),
                    Percentile(latencies, 0.5), Percentile(latencies, 0.99), verify.value("ms") / 1e3,
                    issue.value("ms"), exported.value("ms") / 1e3, exported.value("mib"), mibPerRow);
        std::fflush(stdout);
        if (emptyStartup > 0)
            startupRatio.insert(rows, started.value("ms") / emptyStartup);
        verifySeconds.insert(rows, verify.value("ms") / 1e3);
    }
    std::printf("\n(start-up: spawn to the records tab counting the rows, register built, median of three;"
                " issue: a certificate 100 rows after the mark of the full check, fonts loaded; append: one row in"
                " its own transaction, synchronous FULL)\n");
    for (auto it = startupRatio.cbegin(); it != startupRatio.cend(); ++it)
        std::printf("start-up with %s rows: %.2f times an empty store's\n", qPrintable(Thousands(it.key())), it.value());
    for (auto it = verifySeconds.cbegin(); it != verifySeconds.cend(); ++it)
        std::printf("full verification of %s rows: %.2f s\n", qPrintable(Thousands(it.key())), it.value());
    return 0;
}
