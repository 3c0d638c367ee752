#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstring>

bool CommandLine::WantsTextOnly(int argc, const char* const* argv)
{
    for (int i = 1; i < argc; ++i) {
        for (const char* option : { "-h", "--help", "-?", "--help-all", "-v", "--version", "--verify-records",
                                    "--export-records" }) {
            if (std::strncmp(argv[i], option, std::strlen(option)) == 0
                && (argv[i][std::strlen(option)] == '\0' || argv[i][std::strlen(option)] == '='))
                return true;
        }
    }
    return false;
}

CommandLine::CommandLine(const QStringList& arguments)
    : m_action(Run)
    , m_bConnect(false)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Console for networked radiation dose-rate monitors."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption host(QStringLiteral("host"),
                                  QStringLiteral("The controller's address or host name."), QStringLiteral("HOST"));
    const QCommandLineOption port(QStringLiteral("port"), QStringLiteral("The controller's TCP port, 1 to 65535."),
                                  QStringLiteral("PORT"));
    const QCommandLineOption connect(QStringLiteral("connect"),
                                     QStringLiteral("Connect to the controller as soon as the window is up."));
    const QCommandLineOption verify(QStringLiteral("verify-records"),
                                    QStringLiteral("Check that no record was changed or removed, and exit."));
    const QCommandLineOption exportRecords(QStringLiteral("export-records"),
                                           QStringLiteral("Write every record to FILE as CSV, and exit."),
                                           QStringLiteral("FILE"));
    parser.addOptions({ host, port, connect, verify, exportRecords });

    if (!parser.parse(arguments)) {
        m_action = Refuse;
        m_sMessage = parser.errorText();
    } else if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        m_action = ShowHelp;
        m_sMessage = parser.helpText();
    } else if (parser.isSet(version)) {
        m_action = ShowVersion;
        m_sMessage = QCoreApplication::applicationName() + QLatin1Char(' ') + QCoreApplication::applicationVersion();
    } else if (parser.isSet(verify)) {
        m_action = VerifyRecords;
    } else if (parser.isSet(exportRecords)) {
        m_action = ExportRecords;
        m_sExportPath = parser.value(exportRecords);
    } else if (!parser.positionalArguments().isEmpty()) {
        m_action = Refuse;
        m_sMessage = QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
    } else {
        m_sHost = parser.value(host);
        m_sPort = parser.value(port);
        m_bConnect = parser.isSet(connect);
        bool number = false;
        const uint value = m_sPort.toUInt(&number, 10);
        if (parser.isSet(port) && (!number || value < 1 || value > 65535)) {
            m_action = Refuse;
            m_sMessage = QStringLiteral("The port must be a whole number from 1 to 65535, not '%1'.").arg(m_sPort);
        }
    }
}
