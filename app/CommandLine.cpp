#include "CommandLine.h"

#include "ConsoleLanguage.h"
#include "RecordServer.h"

#include <QCommandLineParser>

namespace {

enum Owner { Console, Toolkit };

// Every option besides help and version, the console's own first. Qt's are
// the documented ones of QGuiApplication and QApplication, X11's and
// Windows' included; a joined one takes its value only as -name=value.
struct Option {
    Owner owner;
    const char* name;
    const char* valueName; // none: a switch
    const char* description;
    bool joined;
};

const Option kOptions[] = {
    { Console, "host", "HOST", QT_TRANSLATE_NOOP("CommandLine", "The controller's address or host name."), false },
    { Console, "port", "PORT", QT_TRANSLATE_NOOP("CommandLine", "The controller's TCP port, 1 to 65535."), false },
    { Console, "connect", nullptr,
      QT_TRANSLATE_NOOP("CommandLine", "Connect to the controller as soon as the window is up."), false },
    { Console, "lang", "zh_CN|en",
      QT_TRANSLATE_NOOP("CommandLine", "The console's language, zh_CN (Chinese) or en (English); else the system's."),
      false },
    { Console, "verify-records", nullptr,
      QT_TRANSLATE_NOOP("CommandLine", "Check that no record was changed or removed, and exit."), false },
    { Console, "trust-keys", "FILE",
      QT_TRANSLATE_NOOP("CommandLine", "Judge signatures by the keyring FILE, not by the one the console trusts."),
      false },
    { Console, "verify-certificate", "FILE.pdf",
      QT_TRANSLATE_NOOP("CommandLine",
                        "Check that a certificate's record is signed by trusted keys and its figures are the "
                        "record's, and exit."),
      false },
    { Console, "export-records", "FILE", QT_TRANSLATE_NOOP("CommandLine", "Write every record to FILE as CSV, and exit."),
      false },
    { Console, "export-register", "FILE",
      QT_TRANSLATE_NOOP("CommandLine", "Write the register of calibrations to FILE as CSV, and exit."), false },
    { Console, "force", nullptr,
      QT_TRANSLATE_NOOP("CommandLine", "Let an export replace a file that exists (never the records' own)."), false },
    { Console, "accept-loss", "NAME",
      QT_TRANSLATE_NOOP("CommandLine",
                        "Accept, as NAME, that rows are missing from the records' end, so that they are kept again."),
      false },
    { Console, "records", "URL",
      QT_TRANSLATE_NOOP("CommandLine",
                        "Keep the records on the lab's server, postgresql://USER@HOST:PORT/DATABASE (the password "
                        "from ~/.pgpass or PGPASSWORD), not in this PC's file."),
      false },
    { Console, "records-init", "URL",
      QT_TRANSLATE_NOOP("CommandLine",
                        "Create the records' tables and roles on the server at URL, as a user who may create roles, "
                        "and exit."),
      false },
    { Console, "copy-records", "FROM",
      QT_TRANSLATE_NOOP("CommandLine",
                        "--copy-records FROM URL: copy the records of the file FROM to the server at URL, each row "
                        "keeping its number, time and hash, check both, and exit."),
      false },
    { Toolkit, "platform", "name[:options]",
      QT_TRANSLATE_NOOP("CommandLine", "Qt's platform plugin, e.g. xcb, wayland or offscreen."), false },
    { Toolkit, "platformpluginpath", "path", QT_TRANSLATE_NOOP("CommandLine", "A folder to load platform plugins from."),
      false },
    { Toolkit, "platformtheme", "theme", QT_TRANSLATE_NOOP("CommandLine", "The platform theme."), false },
    { Toolkit, "plugin", "plugin", QT_TRANSLATE_NOOP("CommandLine", "An input plugin to load as well."), false },
    { Toolkit, "qwindowgeometry", "geometry",
      QT_TRANSLATE_NOOP("CommandLine", "The window's geometry, e.g. 1280x720+0+0."), false },
    { Toolkit, "qwindowicon", "icon", QT_TRANSLATE_NOOP("CommandLine", "The window's icon."), false },
    { Toolkit, "qwindowtitle", "title", QT_TRANSLATE_NOOP("CommandLine", "The window's title."), false },
    { Toolkit, "reverse", nullptr, QT_TRANSLATE_NOOP("CommandLine", "Lays the window out right to left."), false },
    { Toolkit, "session", "session", QT_TRANSLATE_NOOP("CommandLine", "Restores the session of this name."), false },
    { Toolkit, "display", "display", QT_TRANSLATE_NOOP("CommandLine", "The X display to use (X11)."), false },
    { Toolkit, "geometry", "geometry", QT_TRANSLATE_NOOP("CommandLine", "As -qwindowgeometry (X11)."), false },
    { Toolkit, "style", "style", QT_TRANSLATE_NOOP("CommandLine", "The widget style, e.g. fusion."), false },
    { Toolkit, "stylesheet", "path", QT_TRANSLATE_NOOP("CommandLine", "A style sheet file."), false },
    { Toolkit, "widgetcount", nullptr, QT_TRANSLATE_NOOP("CommandLine", "Counts the widgets left at exit."), false },
    { Toolkit, "qmljsdebugger", "port:PORT[,block]", QT_TRANSLATE_NOOP("CommandLine", "Starts the QML debugger."), true },
    { Toolkit, "dialogs", "xp|none", QT_TRANSLATE_NOOP("CommandLine", "Native dialogs or Qt's own (Windows)."), true },
    { Toolkit, "fontengine", "freetype",
      QT_TRANSLATE_NOOP("CommandLine", "FreeType instead of the native font engine (Windows)."), true },
};

// Qt's options are listed by --help-all only. Qt's own options take one dash
// (-platform), so every word after a single dash is an option's name.
void Describe(QCommandLineParser& parser, bool withQt)
{
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(CommandLine::tr("Console for networked radiation dose-rate monitors."));
    parser.addHelpOption();
    parser.addVersionOption();
    for (const Option& o : kOptions) {
        QCommandLineOption option(QLatin1String(o.name), CommandLine::tr(o.description));
        if (o.valueName)
            option.setValueName(QLatin1String(o.valueName));
        if (o.owner == Toolkit && !withQt)
            option.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(option);
    }
}

} // namespace

QStringList CommandLine::Decode(int argc, const char* const* argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

CommandLine::CommandLine(const QStringList& arguments)
    : m_action(Run)
    , m_bConnect(false)
    , m_bForce(false)
    , m_listArguments(arguments)
    , m_listQtArguments(arguments.mid(0, 1))
{
    QCommandLineParser parser;
    Describe(parser, false);
    // Even a refusal speaks the language asked for, when that was read.
    const bool parsed = parser.parse(arguments);
    m_sLanguage = parser.value(QStringLiteral("lang"));
    if (!parsed) {
        m_action = Refuse;
        m_sProblem = parser.errorText();
        return;
    }
    if (parser.isSet(QStringLiteral("lang")) && !ConsoleLanguage::Names().contains(m_sLanguage)) {
        m_action = Refuse;
        m_sProblem = tr("The language must be zh_CN or en, not '%1'.").arg(m_sLanguage);
        return;
    }
    if (parser.isSet(QStringLiteral("help-all")))
        m_action = ShowHelpAll;
    else if (parser.isSet(QStringLiteral("help")))
        m_action = ShowHelp;
    else if (parser.isSet(QStringLiteral("version")))
        m_action = ShowVersion;
    else if (parser.isSet(QStringLiteral("verify-records")))
        m_action = VerifyRecords;
    else if (parser.isSet(QStringLiteral("verify-certificate")))
        m_action = VerifyCertificate;
    else if (parser.isSet(QStringLiteral("export-records")))
        m_action = ExportRecords;
    else if (parser.isSet(QStringLiteral("export-register")))
        m_action = ExportRegister;
    else if (parser.isSet(QStringLiteral("accept-loss")))
        m_action = AcceptLoss;
    else if (parser.isSet(QStringLiteral("records-init")))
        m_action = InitServer;
    else if (parser.isSet(QStringLiteral("copy-records")))
        m_action = CopyRecords;
    m_sRecords = parser.value(QLatin1String(m_action == InitServer ? "records-init" : "records"));
    m_sCopyFrom = parser.value(QStringLiteral("copy-records"));
    if (m_action == CopyRecords)
        m_sRecords = parser.positionalArguments().value(0);
    if ((parser.isSet(QStringLiteral("records")) || m_action == InitServer || m_action == CopyRecords)
        && !RecordServer::IsServer(m_sRecords)) {
        m_action = Refuse;
        m_sProblem = tr("The records' server must be named as postgresql://USER@HOST:PORT/DATABASE, not '%1'.")
                         .arg(m_sRecords);
        return;
    }
    m_sExportPath = parser.value(QLatin1String(m_action == ExportRegister ? "export-register" : "export-records"));
    m_sKeyringPath = parser.value(QStringLiteral("trust-keys"));
    m_sCertificatePath = parser.value(QStringLiteral("verify-certificate"));
    m_sOperator = parser.value(QStringLiteral("accept-loss")).trimmed();
    m_bForce = parser.isSet(QStringLiteral("force"));
    if (m_action == AcceptLoss && m_sOperator.isEmpty()) {
        m_action = Refuse;
        m_sProblem = tr("--accept-loss needs the name of whoever accepts the loss.");
        return;
    }
    if (m_action != Run)
        return;
    if (!parser.positionalArguments().isEmpty()) {
        m_action = Refuse;
        m_sProblem = tr("Unexpected argument '%1'.").arg(parser.positionalArguments().constFirst());
        return;
    }

    m_sHost = parser.value(QStringLiteral("host"));
    m_sPort = parser.value(QStringLiteral("port"));
    m_bConnect = parser.isSet(QStringLiteral("connect"));
    bool number = false;
    const uint port = m_sPort.toUInt(&number, 10);
    if (parser.isSet(QStringLiteral("port")) && (!number || port < 1 || port > 65535)) {
        m_action = Refuse;
        m_sProblem = tr("The port must be a whole number from 1 to 65535, not '%1'.").arg(m_sPort);
        return;
    }
    for (const Option& o : kOptions) {
        const QString dashed = QLatin1Char('-') + QLatin1String(o.name);
        if (o.owner != Toolkit || !parser.isSet(QLatin1String(o.name)))
            continue;
        if (!o.valueName)
            m_listQtArguments << dashed;
        for (const QString& value : parser.values(QLatin1String(o.name))) {
            if (o.joined)
                m_listQtArguments << dashed + QLatin1Char('=') + value;
            else
                m_listQtArguments << dashed << value;
        }
    }
}

QString CommandLine::Message() const
{
    const QString program = QCoreApplication::applicationName();
    switch (m_action) {
    case ShowHelp:
    case ShowHelpAll: {
        QCommandLineParser parser;
        Describe(parser, m_action == ShowHelpAll);
        return parser.helpText();
    }
    case ShowVersion:
        return program + QLatin1Char(' ') + QCoreApplication::applicationVersion() + QLatin1Char('\n');
    case Refuse:
        // Worded again: the arguments were read before any catalogue was
        // installed.
        return program + QStringLiteral(": ") + CommandLine(m_listArguments).m_sProblem + QLatin1Char('\n')
            + tr("Try '%1 --help'.").arg(program) + QLatin1Char('\n');
    case Run:
    case VerifyRecords:
    case ExportRecords:
    case ExportRegister:
    case AcceptLoss:
    case VerifyCertificate:
    case InitServer:
    case CopyRecords:
        break;
    }
    return QString();
}
