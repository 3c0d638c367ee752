#include "CommandLine.h"
#include "LoopbackController.h"

#include <QProcess>
#include <QTest>

Q_DECLARE_METATYPE(CommandLine::Action)

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void refusalEndsBeforeAnyWindow();
    void versionNeedsNoDisplay();
    void connectsWhereItIsTold();
};

void TestCommandLine::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<CommandLine::Action>("action");
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<bool>("connect");
    const auto run = CommandLine::Run;
    const auto refuse = CommandLine::Refuse;
    QTest::newRow("nothing") << QStringList {} << run << "" << "" << false;
    QTest::newRow("all") << QStringList { "--host", "10.0.0.7", "--port", "65535", "--connect" } << run
                         << "10.0.0.7" << "65535" << true;
    QTest::newRow("port 1") << QStringList { "--port=1" } << run << "" << "1" << false;
    QTest::newRow("port 0") << QStringList { "--port", "0" } << refuse << "" << "0" << false;
    QTest::newRow("port too high") << QStringList { "--port", "65536" } << refuse << "" << "65536" << false;
    QTest::newRow("port not a number") << QStringList { "--port", "88x" } << refuse << "" << "88x" << false;
    QTest::newRow("negative port") << QStringList { "--port", "-1" } << refuse << "" << "-1" << false;
    QTest::newRow("unknown option") << QStringList { "--hots", "a" } << refuse << "" << "" << false;
    QTest::newRow("stray argument") << QStringList { "10.0.0.7" } << refuse << "" << "" << false;
    QTest::newRow("help") << QStringList { "--help" } << CommandLine::ShowHelp << "" << "" << false;
    QTest::newRow("version") << QStringList { "-v" } << CommandLine::ShowVersion << "" << "" << false;
}

void TestCommandLine::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(CommandLine::Action, action);
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(bool, connect);
    const CommandLine line(QStringList { "dosegate-console" } + arguments);
    QCOMPARE(line.GetAction(), action);
    if (action != CommandLine::Run) {
        QVERIFY(!line.Message().isEmpty());
        return;
    }
    QCOMPARE(line.Host(), host);
    QCOMPARE(line.Port(), port);
    QCOMPARE(line.ConnectAtStart(), connect);
}

void TestCommandLine::refusalEndsBeforeAnyWindow()
{
    QProcess console;
    console.start(QStringLiteral(CONSOLE), { "--port", "70000" });
    QVERIFY(console.waitForFinished(10000));
    QCOMPARE(console.exitCode(), CommandLine::kRefusedExitCode);
    QVERIFY(console.readAllStandardError().contains("port must be a whole number from 1 to 65535, not '70000'"));
}

void TestCommandLine::versionNeedsNoDisplay()
{
    QProcess console;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY" })
        environment.remove(name);
    console.setProcessEnvironment(environment);
    console.start(QStringLiteral(CONSOLE), { "--version" });
    QVERIFY(console.waitForFinished(10000));
    QCOMPARE(console.exitCode(), 0);
    QCOMPARE(console.readAllStandardOutput(), QByteArray("dosegate-console " VERSION "\n"));
}

void TestCommandLine::connectsWhereItIsTold()
{
    LoopbackController controller;
    QProcess console;
    console.start(QStringLiteral(CONSOLE),
                  { "--host", "127.0.0.1", "--port", QString::number(controller.Port()), "--connect" });
    QVERIFY(controller.WaitForClient(10000));
    console.kill();
    console.waitForFinished();
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
