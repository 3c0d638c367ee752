#ifndef DOSEGATE_COMMANDLINE_H
#define DOSEGATE_COMMANDLINE_H

#include <QCoreApplication>
#include <QString>
#include <QStringList>

// The console's command line, read before any application object exists:
// only the window needs a QApplication, and with it a display, so help, the
// version and a refusal must be decided first. Qt's own options (-platform,
// -style, ...) are known here too, so that they are accepted wherever they
// stand and reach the QApplication as the parser read them.
class CommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CommandLine)

public:
    // Run opens the window; every other action needs no display and is
    // answered with a QCoreApplication at most.
    enum Action { Run, ShowHelp, ShowHelpAll, ShowVersion, Refuse, VerifyRecords, ExportRecords, ExportRegister,
                  AcceptLoss, VerifyCertificate, InitServer, CopyRecords };
    static constexpr int kRefusedExitCode = 2;

    static QStringList Decode(int argc, const char* const* argv);
    explicit CommandLine(const QStringList& arguments);

    Action GetAction() const { return m_action; }
    int ExitCode() const { return m_action == Refuse ? kRefusedExitCode : 0; }
    // The help or version text, or the refusal with its hint, each ending in
    // a new line, in the language installed by then. Help names the program,
    // which takes an application object.
    QString Message() const;
    // The program and Qt's own options, for the QApplication of the window.
    QStringList QtArguments() const { return m_listQtArguments; }
    QString Host() const { return m_sHost; } // empty: as the form has it
    QString Port() const { return m_sPort; } // empty: as the form has it
    bool ConnectAtStart() const { return m_bConnect; }
    QString Language() const { return m_sLanguage; } // empty: the system's
    QString ExportPath() const { return m_sExportPath; }
    // An export may replace a file that exists (never the store's own).
    bool Force() const { return m_bForce; }
    QString OperatorName() const { return m_sOperator; } // who accepts a loss
    QString KeyringPath() const { return m_sKeyringPath; } // empty: the one the console trusts
    QString CertificatePath() const { return m_sCertificatePath; }
    // The records' store for this run: empty for the console's own file.
    QString RecordsLocation() const { return m_sRecords; }
    QString CopyFrom() const { return m_sCopyFrom; } // a store's file, copied to RecordsLocation()

private:
    Action m_action;
    QString m_sProblem;
    QString m_sHost;
    QString m_sPort;
    bool m_bConnect;
    bool m_bForce;
    QString m_sExportPath;
    QString m_sOperator;
    QString m_sKeyringPath;
    QString m_sCertificatePath;
    QString m_sRecords;
    QString m_sCopyFrom;
    QString m_sLanguage;
    QStringList m_listArguments;
    QStringList m_listQtArguments;
};

#endif
