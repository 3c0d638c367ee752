#include "CommandLine.h"
#include "LoopbackController.h"

#include <QProcess>
#include <QTest>

Q_DECLARE_METATYPE(CommandLine::Action)

namespace {

// The console as started from a terminal with no display at all.
QProcessEnvironment WithoutDisplay()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" })
        environment.remove(name);
    return environment;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void helpListsQtOptionsOnlyWhenAskedForAll();
    void answersWithoutADisplay_data();
    void answersWithoutADisplay();
    void connectsWhereItIsTold();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<CommandLine::Action>("action");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("connect");
    QTest::addColumn<QStringList>("qt"); // what the window's QApplication gets after the program
    const auto run = CommandLine::Run;
    const auto refuse = CommandLine::Refuse;
    const QStringList none;
    QTest::newRow("nothing") << QStringList {} << run << "" << "" << false << none;
    QTest::newRow("all") << QStringList { "--host", "10.0.0.7", "--port", "65535", "--connect" } << run
                         << "10.0.0.7" << "65535" << true << none;
    QTest::newRow("port 1") << QStringList { "--port=1" } << run << "" << "1" << false << none;
    QTest::newRow("port 0") << QStringList { "--port", "0" } << refuse << "" << "" << false << none;
    QTest::newRow("port too high") << QStringList { "--port", "65536" } << refuse << "" << "" << false << none;
    QTest::newRow("port not a number") << QStringList { "--port", "88x" } << refuse << "" << "" << false << none;
    QTest::newRow("negative port") << QStringList { "--port", "-1" } << refuse << "" << "" << false << none;
    QTest::newRow("unknown option") << QStringList { "--hots", "a" } << refuse << "" << "" << false << none;
    QTest::newRow("missing value") << QStringList { "--connect", "--host" } << refuse << "" << "" << false << none;
    QTest::newRow("stray argument") << QStringList { "10.0.0.7" } << refuse << "" << "" << false << none;
    QTest::newRow("help") << QStringList { "--help" } << CommandLine::ShowHelp << "" << "" << false << none;
    QTest::newRow("help all") << QStringList { "--help-all" } << CommandLine::ShowHelpAll << "" << "" << false
                              << none;
    QTest::newRow("version") << QStringList { "-v" } << CommandLine::ShowVersion << "" << "" << false << none;
    QTest::newRow("verify records") << QStringList { "--verify-records" } << CommandLine::VerifyRecords << "" << ""
                                    << false << none;
    QTest::newRow("export records") << QStringList { "--export-records", "a.csv" } << CommandLine::ExportRecords
                                    << "" << "" << false << none;
    QTest::newRow("export records nowhere") << QStringList { "--export-records" } << refuse << "" << "" << false
                                            << none;
    QTest::newRow("version after a Qt option")
        << QStringList { "-style", "fusion", "--version" } << CommandLine::ShowVersion << "" << "" << false << none;
    QTest::newRow("a host that looks like help")
        << QStringList { "--host", "-h" } << run << "-h" << "" << false << none;
    // Qt must not take --connect for the name of a platform.
    QTest::newRow("a host that looks like a Qt option")
        << QStringList { "--host", "-platform", "--connect" } << run << "-platform" << "" << true << none;
    QTest::newRow("Qt options anywhere")
        << QStringList { "--platform=offscreen", "--port", "5", "-reverse", "-qmljsdebugger=port:5555", "-style",
                         "fusion" }
        << run << "" << "5" << false
        << QStringList { "-platform", "offscreen", "-reverse", "-style", "fusion", "-qmljsdebugger=port:5555" };
    QTest::newRow("Qt option without its value") << QStringList { "-platform" } << refuse << "" << "" << false
                                                 << none;
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(CommandLine::Action, action);
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(bool, connect);
    QFETCH(QStringList, qt);
    const CommandLine line(QStringList { "dosegate-console" } + arguments);
    QCOMPARE(line.GetAction(), action);
    QCOMPARE(line.ExitCode(), action == CommandLine::Refuse ? CommandLine::kRefusedExitCode : 0);
    if (action != CommandLine::Run)
        return;
    QCOMPARE(line.Host(), host);
    QCOMPARE(line.Port(), port);
    QCOMPARE(line.ConnectAtStart(), connect);
    QCOMPARE(line.QtArguments(), QStringList { "dosegate-console" } + qt);
}

void TestCommandLine::helpListsQtOptionsOnlyWhenAskedForAll()
{
    const QString help = CommandLine({ "dosegate-console", "-h" }).Message();
    const QString all = CommandLine({ "dosegate-console", "--help-all" }).Message();
    for (const char* own : { "--host <HOST>", "--port <PORT>", "--connect", "--version" }) {
        QVERIFY2(help.contains(own) && all.contains(own), own);
    }
    for (const char* qt : { "--platform <", "--style <", "--reverse", "--display <" }) {
        QVERIFY2(all.contains(qt), qt);
        QVERIFY2(!help.contains(qt), qt);
    }
}

// No display to open: refusals, help and the version must be answered
// before Qt looks for one.
void TestCommandLine::answersWithoutADisplay_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QByteArray>("out");
    QTest::addColumn<QByteArray>("error");
    const QByteArray hint = "\nTry 'dosegate-console --help'.\n";
    const QByteArray version = "dosegate-console " VERSION "\n";
    QTest::newRow("port 0") << QStringList { "--port", "0" } << 2 << QByteArray()
                            << "dosegate-console: The port must be a whole number from 1 to 65535, not '0'." + hint;
    QTest::newRow("port 70000")
        << QStringList { "--host", "-h", "--port", "70000" } << 2 << QByteArray()
        << "dosegate-console: The port must be a whole number from 1 to 65535, not '70000'." + hint;
    QTest::newRow("unknown option") << QStringList { "--bogus" } << 2 << QByteArray()
                                    << "dosegate-console: Unknown option 'bogus'." + hint;
    QTest::newRow("unknown options") << QStringList { "-x", "--connect", "-y" } << 2 << QByteArray()
                                     << "dosegate-console: Unknown options: x, y." + hint;
    QTest::newRow("missing value") << QStringList { "--port" } << 2 << QByteArray()
                                   << "dosegate-console: Missing value after '--port'." + hint;
    QTest::newRow("stray argument") << QStringList { "--connect", "10.0.0.7" } << 2 << QByteArray()
                                    << "dosegate-console: Unexpected argument '10.0.0.7'." + hint;
    QTest::newRow("after the options' end") << QStringList { "--", "--port" } << 2 << QByteArray()
                                            << "dosegate-console: Unexpected argument '--port'." + hint;
    QTest::newRow("version") << QStringList { "--version" } << 0 << version << QByteArray();
    QTest::newRow("version after a Qt option") << QStringList { "-style", "fusion", "-v" } << 0 << version
                                               << QByteArray();
}

void TestCommandLine::answersWithoutADisplay()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, exitCode);
    QFETCH(QByteArray, out);
    QFETCH(QByteArray, error);
    QProcess console;
    console.setProcessEnvironment(WithoutDisplay());
    console.start(QStringLiteral(CONSOLE), arguments);
    QVERIFY(console.waitForFinished(10000));
    QCOMPARE(console.exitStatus(), QProcess::NormalExit);
    QCOMPARE(console.exitCode(), exitCode);
    QCOMPARE(console.readAllStandardOutput(), out);
    QCOMPARE(console.readAllStandardError(), error);
}

void TestCommandLine::connectsWhereItIsTold()
{
    LoopbackController controller;
    QProcess console;
    console.setProcessEnvironment(WithoutDisplay()); // the platform comes from the arguments
    console.start(QStringLiteral(CONSOLE), { "--host", "127.0.0.1", "-platform", "offscreen", "--port",
                                             QString::number(controller.Port()), "--connect" });
    QVERIFY(controller.WaitForClient(10000));
    console.kill();
    console.waitForFinished();
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
