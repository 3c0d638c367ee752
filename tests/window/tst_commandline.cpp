#include "CommandLine.h"
#include "ConsoleLanguage.h"
#include "LoopbackController.h"

#include <QProcess>
#include <QTest>

Q_DECLARE_METATYPE(CommandLine::Action)

namespace {

// The console as started from a terminal with no display at all, in an
// English locale unless another language is asked for.
QProcessEnvironment WithoutDisplay(const QString& language = QString())
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : { "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY", "LC_ALL", "LC_MESSAGES", "LANGUAGE" })
        environment.remove(name);
    environment.insert("LANG", "C.UTF-8");
    if (!language.isEmpty())
        environment.insert("LANGUAGE", language);
    return environment;
}

} // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QCoreApplication::setApplicationName("dosegate-console"); }
    void parse_data();
    void parse();
    void helpListsQtOptionsOnlyWhenAskedForAll();
    void answersWithoutADisplay_data();
    void answersWithoutADisplay();
    void answersInTheLanguageAskedFor_data();
    void answersInTheLanguageAskedFor();
    void languageFollowsTheLocaleUnlessNamed_data();
    void languageFollowsTheLocaleUnlessNamed();
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
    QTest::newRow("verify records by a keyring")
        << QStringList { "--verify-records", "--trust-keys", "k.json" } << CommandLine::VerifyRecords << "" << ""
        << false << none;
    QTest::newRow("verify a certificate") << QStringList { "--verify-certificate", "c.pdf" }
                                          << CommandLine::VerifyCertificate << "" << "" << false << none;
    QTest::newRow("verify a certificate of nothing") << QStringList { "--verify-certificate" } << refuse << "" << ""
                                                     << false << none;
    QTest::newRow("export records nowhere") << QStringList { "--export-records" } << refuse << "" << "" << false
                                            << none;
    QTest::newRow("export the register") << QStringList { "--export-register", "r.csv", "--force" }
                                         << CommandLine::ExportRegister << "" << "" << false << none;
    QTest::newRow("accept a loss") << QStringList { "--accept-loss", "Q. Manager" } << CommandLine::AcceptLoss << ""
                                   << "" << false << none;
    QTest::newRow("accept a loss as nobody") << QStringList { "--accept-loss", " " } << refuse << "" << "" << false
                                             << none;
    QTest::newRow("records on a server") << QStringList { "--records", "postgresql://c@lab:5432/records", "--connect" }
                                         << run << "" << "" << true << none;
    QTest::newRow("records in a file named as a server")
        << QStringList { "--records", "records.sqlite" } << refuse << "" << "" << false << none;
    QTest::newRow("a server's records made")
        << QStringList { "--records-init", "postgres://admin@lab/records" } << CommandLine::InitServer << "" << ""
        << false << none;
    QTest::newRow("records copied to a server")
        << QStringList { "--copy-records", "r.sqlite", "postgresql://c@lab/records" } << CommandLine::CopyRecords << ""
        << "" << false << none;
    QTest::newRow("records copied nowhere") << QStringList { "--copy-records", "r.sqlite" } << refuse << "" << ""
                                            << false << none;
    QTest::newRow("a server's records made nowhere")
        << QStringList { "--records-init", "" } << refuse << "" << "" << false << none;
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
    QTest::newRow("Chinese") << QStringList { "--lang", "zh_CN", "--connect" } << run << "" << "" << true << none;
    QTest::newRow("a language not spoken") << QStringList { "--lang", "fr" } << refuse << "" << "" << false << none;
    QTest::newRow("a language not spoken, with help")
        << QStringList { "--help", "--lang=zh" } << refuse << "" << "" << false << none;
    QTest::newRow("language without its value") << QStringList { "--lang" } << refuse << "" << "" << false << none;
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
    QTest::newRow("a language not spoken")
        << QStringList { "--lang", "fr" } << 2 << QByteArray()
        << "dosegate-console: The language must be zh_CN or en, not 'fr'." + hint;
    QTest::newRow("a loss accepted by nobody")
        << QStringList { "--accept-loss=" } << 2 << QByteArray()
        << "dosegate-console: --accept-loss needs the name of whoever accepts the loss." + hint;
    const QByteArray noDisplay = "dosegate-console: No display to open the window on: DISPLAY and WAYLAND_DISPLAY are "
                                 "not set (-platform offscreen needs none).\n";
    QTest::newRow("no display") << QStringList() << 2 << QByteArray() << noDisplay;
    QTest::newRow("no display, a host to connect to") << QStringList { "--host", "h", "--connect" } << 2
                                                       << QByteArray() << noDisplay;
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

// What the console prints in a language is what the command line words
// with that language's catalogue installed: the catalogue is in place
// before anything is printed. The usage line names the program as started.
void TestCommandLine::answersInTheLanguageAskedFor_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("locale"); // the languages the user reads
    QTest::addColumn<QString>("language");
    QTest::newRow("refusal in Chinese") << QStringList { "--lang", "zh_CN", "--port", "0" } << "" << "zh_CN";
    QTest::newRow("unknown option in Chinese") << QStringList { "--bogus", "--lang=zh_CN" } << "" << "zh_CN";
    QTest::newRow("help in Chinese") << QStringList { "-h", "--lang", "zh_CN" } << "" << "zh_CN";
    QTest::newRow("Chinese locale") << QStringList { "--port", "x" } << "zh_CN" << "zh_CN";
    QTest::newRow("Chinese locale, English asked for") << QStringList { "--lang", "en", "-h" } << "zh_CN" << "en";
    QTest::newRow("German locale") << QStringList { "--port", "x" } << "de_DE" << "en";
}

void TestCommandLine::answersInTheLanguageAskedFor()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, locale);
    QFETCH(QString, language);
    QString expected;
    {
        const ConsoleLanguage speaking(language);
        expected = CommandLine(QStringList { "dosegate-console" } + arguments).Message();
    }
    const QString english = CommandLine(QStringList { "dosegate-console" } + arguments).Message();
    QCOMPARE(expected != english, language == ConsoleLanguage::kChinese);
    QProcess console;
    console.setProcessEnvironment(WithoutDisplay(locale));
    console.start(QStringLiteral(CONSOLE), arguments);
    QVERIFY(console.waitForFinished(10000));
    const QString printed = QString::fromUtf8(console.readAllStandardOutput() + console.readAllStandardError());
    QCOMPARE(QString(printed).replace(CONSOLE, QCoreApplication::arguments().constFirst()), expected);
}

void TestCommandLine::languageFollowsTheLocaleUnlessNamed_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QLocale>("locale");
    QTest::addColumn<QString>("language");
    const QLocale china(QLocale::Chinese, QLocale::China);
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    QTest::newRow("Chinese locale") << "" << china << "zh_CN";
    QTest::newRow("traditional Chinese locale") << "" << QLocale(QLocale::Chinese, QLocale::Taiwan) << "zh_CN";
    QTest::newRow("English locale") << "" << us << "en";
    QTest::newRow("German locale") << "" << QLocale(QLocale::German, QLocale::Germany) << "en";
    QTest::newRow("C locale") << "" << QLocale::c() << "en";
    QTest::newRow("English asked for") << "en" << china << "en";
    QTest::newRow("Chinese asked for") << "zh_CN" << us << "zh_CN";
}

void TestCommandLine::languageFollowsTheLocaleUnlessNamed()
{
    QFETCH(QString, name);
    QFETCH(QLocale, locale);
    QFETCH(QString, language);
    QCOMPARE(ConsoleLanguage::Resolve(name, locale), language);
}

// The platform comes from the arguments or from QT_QPA_PLATFORM; neither
// needs a display.
void TestCommandLine::connectsWhereItIsTold()
{
    for (bool fromEnvironment : { false, true }) {
        LoopbackController controller;
        QProcess console;
        QProcessEnvironment environment = WithoutDisplay();
        QStringList arguments { "--host", "127.0.0.1", "--port", QString::number(controller.Port()), "--connect" };
        if (fromEnvironment)
            environment.insert("QT_QPA_PLATFORM", "offscreen");
        else
            arguments << "-platform" << "offscreen";
        console.setProcessEnvironment(environment);
        console.start(QStringLiteral(CONSOLE), arguments);
        QVERIFY2(controller.WaitForClient(10000), fromEnvironment ? "QT_QPA_PLATFORM" : "-platform");
        console.kill();
        console.waitForFinished();
    }
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
