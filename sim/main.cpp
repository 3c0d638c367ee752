#include "ControllerServer.h"
#include "DoseModel.h"
#include "NodeBank.h"
#include "NodeSchedule.h"
#include "SignalWatcher.h"
#include "SimLog.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cmath>
#include <cstdio>

namespace {

constexpr int kUsageError = 2;
constexpr double kDefaultDoseRate = 0.09;  // μSv/h, about natural background
constexpr double kDefaultSensitivity = 1.2; // off by 20 %, for a calibration to correct
constexpr double kMillisecondsPerSecond = 1000.0;

struct Options {
    ControllerServer::Settings server;
    QList<quint8> nodes;
    NodeSchedule schedule;
    double doseRate = kDefaultDoseRate;
    double sensitivity = kDefaultSensitivity;
    bool quiet = false;
    bool coefficientCheck = false;
};

// Bounds that only catch typing slips.
constexpr quint16 kMaxPort = 65535;
constexpr double kMaxDropAfterSeconds = 86400.0;
constexpr double kMaxFloodRate = 1e7;
constexpr double kMaxFloodForSeconds = 86400.0;
constexpr double kMaxDoseRate = 1e7; // μSv/h
constexpr double kMaxSensitivity = 1e3;

QList<QCommandLineOption> OptionList()
{
    return {
        { "listen", "Address to listen on (default 127.0.0.1).", "address", "127.0.0.1" },
        { "port", "TCP port; 0 picks a free one (default 8888).", "port", "8888" },
        { "nodes", "Node ids, e.g. 1-8 or 1,3,5 (default 1-8).", "ids", "1-8" },
        { "dose-rate", "True dose rate in uSv/h (default 0.09).", "rate" },
        { "sensitivity", "Detector sensitivity factor (default 1.2).", "factor" },
        { "seed", "Seed of the counting noise and the garbage, for repeatable runs.", "n" },
        { "drop-after", "Close each connection this many seconds after accepting it.", "seconds" },
        { "flood", "Send this many unsolicited dose-count frames per second.", "rate" },
        { "flood-for", "End the flood this many seconds after the first client came.", "seconds" },
        { "garbage", "Put noise before a reply frame with this probability.", "p" },
        { "coefficient-check", "Follow each coefficient reply with its check byte." },
        { "silence", "Node ID answers nothing from AFTER seconds on, for FOR seconds (repeatable).", "ID:AFTER:FOR" },
        { "step", "The dose rate at node ID becomes RATE uSv/h at AT seconds (repeatable).", "ID:AT:RATE" },
        { "quiet", "Do not print a line per received command." },
    };
}

bool ReadNumber(const QCommandLineParser& parser, const QString& name, double low, double high, double& value,
                QString& error)
{
    if (!parser.isSet(name))
        return true;
    bool ok = false;
    const double number = parser.value(name).toDouble(&ok);
    if (!ok || !std::isfinite(number) || number < low || number > high) {
        error = QStringLiteral("--%1 wants a number from %2 to %3").arg(name).arg(low).arg(high);
        return false;
    }
    value = number;
    return true;
}

bool ReadPort(const QCommandLineParser& parser, quint16& port, QString& error)
{
    bool ok = false;
    const uint number = parser.value("port").toUInt(&ok);
    if (!ok || number > kMaxPort) {
        error = QStringLiteral("--port wants a whole number from 0 to %1").arg(kMaxPort);
        return false;
    }
    port = quint16(number);
    return true;
}

bool ReadServerOptions(const QCommandLineParser& parser, ControllerServer::Settings& server, QString& error)
{
    if (!server.address.setAddress(parser.value("listen"))) {
        error = QStringLiteral("--listen wants an IP address");
        return false;
    }
    double dropAfter = 0.0;
    double floodFor = 0.0;
    if (!ReadPort(parser, server.port, error) || !ReadNumber(parser, "drop-after", 0.0, kMaxDropAfterSeconds, dropAfter, error)
        || !ReadNumber(parser, "flood", 0.0, kMaxFloodRate, server.floodRate, error)
        || !ReadNumber(parser, "flood-for", 0.0, kMaxFloodForSeconds, floodFor, error)
        || !ReadNumber(parser, "garbage", 0.0, 1.0, server.faults.garbage, error))
        return false;
    server.faults.dropAfterMs = int(std::lround(dropAfter * kMillisecondsPerSecond));
    server.floodForMs = int(std::lround(floodFor * kMillisecondsPerSecond));
    return true;
}

bool ReadSeed(const QCommandLineParser& parser, quint64& seed, QString& error)
{
    if (!parser.isSet("seed")) {
        seed = QRandomGenerator::system()->generate64();
        return true;
    }
    bool ok = false;
    seed = parser.value("seed").toULongLong(&ok);
    if (!ok)
        error = QStringLiteral("--seed wants a whole number");
    return ok;
}

bool ReadSchedule(const QCommandLineParser& parser, Options& options, QString& error)
{
    for (const QString& text : parser.values("silence")) {
        if (!options.schedule.AddSilence(text, error)) {
            error = QStringLiteral("--silence: ") + error;
            return false;
        }
    }
    for (const QString& text : parser.values("step")) {
        if (!options.schedule.AddStep(text, error)) {
            error = QStringLiteral("--step: ") + error;
            return false;
        }
    }
    for (quint8 id : options.schedule.Ids()) {
        if (!options.nodes.contains(id)) {
            error = QStringLiteral("node %1 is not among the simulated nodes").arg(id);
            return false;
        }
    }
    return true;
}

bool ReadOptions(const QCommandLineParser& parser, Options& options, QString& error)
{
    if (!parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("unexpected argument %1").arg(parser.positionalArguments().first());
        return false;
    }
    options.quiet = parser.isSet("quiet");
    options.coefficientCheck = parser.isSet("coefficient-check");
    return ReadServerOptions(parser, options.server, error) && ReadSeed(parser, options.server.seed, error)
        && NodeBank::ParseIds(parser.value("nodes"), options.nodes, error) && ReadSchedule(parser, options, error)
        && ReadNumber(parser, "dose-rate", 0.0, kMaxDoseRate, options.doseRate, error)
        && ReadNumber(parser, "sensitivity", 0.0, kMaxSensitivity, options.sensitivity, error);
}

int Run(const Options& options)
{
    SimLog log(options.quiet);
    // The dose noise and the garbage draw from different seeds, so turning
    // garbage on does not change the counts.
    DoseModel model(options.doseRate, options.sensitivity, options.server.seed);
    NodeBank bank(options.nodes, &model, &log);
    bank.SetCoefficientCheck(options.coefficientCheck);
    QElapsedTimer started;
    started.start();
    bank.SetSchedule(&options.schedule, [&started] { return started.elapsed(); });
    ControllerServer server(options.server, &bank, &log);
    QString error;
    if (!server.Listen(error)) {
        log.Problem(QStringLiteral("cannot listen on %1:%2: %3")
                        .arg(options.server.address.toString())
                        .arg(options.server.port)
                        .arg(error));
        return 1;
    }
    log.Plain(QStringLiteral("listening on %1:%2").arg(server.Address().toString()).arg(server.Port()));
    log.Plain(QStringLiteral("seed %1, %2 nodes").arg(options.server.seed).arg(bank.Count()));
    for (const NodeSchedule::Silence& silence : options.schedule.Silences())
        log.Plain(QStringLiteral("node %1 silent from %2 s to %3 s")
                      .arg(silence.id)
                      .arg(silence.fromMs / kMillisecondsPerSecond)
                      .arg(silence.untilMs / kMillisecondsPerSecond));
    for (const NodeSchedule::Step& step : options.schedule.Steps())
        log.Plain(QStringLiteral("node %1 at %2 uSv/h from %3 s").arg(step.id).arg(step.rate).arg(step.atMs / kMillisecondsPerSecond));
    SignalWatcher watcher;
    QObject::connect(&watcher, SIGNAL(Caught(int)), QCoreApplication::instance(), SLOT(quit()));
    const int status = QCoreApplication::exec();
    log.Plain(QStringLiteral("dose frames by node: %1").arg(server.DoseFramesByNode()));
    log.Plain(QStringLiteral("sent %1 dose frames").arg(server.DoseFramesSent()));
    return status;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("controller-sim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulates a dose-rate monitor's controller and its detector nodes."));
    parser.addHelpOption();
    parser.addOptions(OptionList());
    parser.process(app);
    Options options;
    QString error;
    if (!ReadOptions(parser, options, error)) {
        std::fprintf(stderr, "controller-sim: %s\n", qPrintable(error));
        return kUsageError;
    }
    return Run(options);
}
