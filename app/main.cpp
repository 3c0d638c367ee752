#include "CommandLine.h"
#include "RecordStore.h"
#include "SetwiseDosegate.h"

#include <QApplication>

#include <cstdio>
#include <memory>

namespace {

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
    std::unique_ptr<QCoreApplication> application;
    if (CommandLine::WantsTextOnly(argc, argv))
        application = std::make_unique<QCoreApplication>(argc, argv);
    else
        application = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("dosegate-console"));
    QCoreApplication::setApplicationVersion(QStringLiteral(DOSEGATE_VERSION));

    const CommandLine options(QCoreApplication::arguments());
    switch (options.GetAction()) {
    case CommandLine::Refuse:
        std::fprintf(stderr, "dosegate-console: %s\nTry 'dosegate-console --help'.\n", qPrintable(options.Message()));
        return CommandLine::kRefusedExitCode;
    case CommandLine::ShowHelp:
    case CommandLine::ShowVersion:
        std::printf("%s\n", qPrintable(options.Message()));
        return 0;
    case CommandLine::VerifyRecords:
    case CommandLine::ExportRecords:
        return RecordsCommand(options);
    case CommandLine::Run:
        break;
    }

    SetwiseDosegate window;
    window.FillConnectPage(options.Host(), options.Port());
    window.show();
    if (options.ConnectAtStart())
        QMetaObject::invokeMethod(&window, "OnConnectButtonClicked", Qt::QueuedConnection);
    return application->exec();
}
