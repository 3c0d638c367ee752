#include "CommandLine.h"
#include "ConsoleLanguage.h"
#include "Log.h"
#include "RecordStore.h"
#include "SetwiseDosegate.h"

#include <QApplication>

#include <cstdio>
#include <vector>

namespace {

// Without a display Qt's platform plugin aborts the program; a platform
// named by -platform or QT_QPA_PLATFORM (offscreen, for one) needs none.
bool HasDisplay(const CommandLine& options)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    for (const char* name : { "DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM" }) {
        if (!qEnvironmentVariableIsEmpty(name))
            return true;
    }
    return options.QtArguments().contains(QStringLiteral("-platform"));
#else
    Q_UNUSED(options)
    return true;
#endif
}

int RunWindow(const CommandLine& options)
{
    // Qt reads its own options from its arguments, and keeps them: they
    // must outlive the application object.
    QList<QByteArray> arguments;
    for (const QString& argument : options.QtArguments())
        arguments << argument.toLocal8Bit();
    std::vector<char*> argv;
    for (QByteArray& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    int argc = int(argv.size()) - 1;

    QApplication application(argc, argv.data());
    // Before the window: its texts are looked up as it is made.
    const ConsoleLanguage language(options.Language());
    if (language.Name() == QLatin1String(ConsoleLanguage::kChinese) && !language.HasQtCatalogue())
        LogPrint(LOG_NOTICE, "Qt's own dialogs stay English: Qt's Chinese catalogue (qtbase_zh_CN) is not installed\n");
    SetwiseDosegate window;
    window.FillConnectPage(options.Host(), options.Port());
    window.show();
    if (options.ConnectAtStart())
        QMetaObject::invokeMethod(&window, "OnConnectButtonClicked", Qt::QueuedConnection);
    return application.exec();
}

// The record store, checked or exported without a window.
int RecordsCommand(const CommandLine& options)
{
    RecordStore store;
    if (!store.OpenExisting(RecordStore::DefaultPath())) {
        std::fprintf(stderr, "dosegate-console: %s\n", qPrintable(store.Error()));
        return 1;
    }
    if (options.GetAction() == CommandLine::ExportRecords) {
        const QString error = store.ExportCsv(options.ExportPath());
        if (!error.isEmpty()) {
            std::fprintf(stderr, "dosegate-console: cannot write %s: %s\n", qPrintable(options.ExportPath()),
                         qPrintable(error));
            return 1;
        }
        std::printf("%lld records written to %s\n", store.Count(), qPrintable(options.ExportPath()));
        return 0;
    }
    const RecordStore::Check check = store.Verify();
    if (!check.Intact()) {
        std::printf("%s\n", qPrintable(check.reason));
        return 1;
    }
    std::printf("%lld records, chain intact\n", check.rows);
    return 0;
}

} // namespace

int main(int argc, char* argv[])
{
    // Log lines go out whole and at once, also into a pipe or a file.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);
    QCoreApplication::setApplicationName(QStringLiteral("dosegate-console"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DOSEGATE_VERSION));

    // Decided before any application object: only the window needs a
    // display, so a terminal without one still gets its answer.
    const CommandLine options(CommandLine::Decode(argc, argv));
    if (options.GetAction() == CommandLine::Run && HasDisplay(options))
        return RunWindow(options);
    QCoreApplication application(argc, argv);
    const ConsoleLanguage language(options.Language());
    if (options.GetAction() == CommandLine::Run) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(QCoreApplication::translate(
                         "CommandLine", "No display to open the window on: DISPLAY and WAYLAND_DISPLAY are not set "
                                        "(-platform offscreen needs none).")));
        return CommandLine::kRefusedExitCode;
    }
    if (options.GetAction() == CommandLine::VerifyRecords || options.GetAction() == CommandLine::ExportRecords)
        return RecordsCommand(options);
    std::fputs(qPrintable(options.Message()), options.GetAction() == CommandLine::Refuse ? stderr : stdout);
    return options.ExitCode();
}
