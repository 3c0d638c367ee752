#ifndef DOSEGATE_COMMANDLINE_H
#define DOSEGATE_COMMANDLINE_H

#include <QString>
#include <QStringList>

// The console's own options: where the controller is and whether to connect
// at once. Qt's options (-platform, -style, ...) are taken out by the
// application object before these are read.
class CommandLine
{
public:
    enum Action { Run, ShowHelp, ShowVersion, Refuse, VerifyRecords, ExportRecords };
    static constexpr int kRefusedExitCode = 2;

    explicit CommandLine(const QStringList& arguments);

    // Help and version are plain text: they need no display, so they are
    // answered before Qt looks for one.
    static bool WantsTextOnly(int argc, const char* const* argv);

    Action GetAction() const { return m_action; }
    // The help or version text, or why the arguments were refused.
    QString Message() const { return m_sMessage; }
    QString Host() const { return m_sHost; } // empty: as the form has it
    QString Port() const { return m_sPort; } // empty: as the form has it
    bool ConnectAtStart() const { return m_bConnect; }
    QString ExportPath() const { return m_sExportPath; }

private:
    Action m_action;
    QString m_sMessage;
    QString m_sHost;
    QString m_sPort;
    bool m_bConnect;
    QString m_sExportPath;
};

#endif
