#include "CommandLine.h"
#include "SetwiseDosegate.h"

#include <QApplication>

#include <cstdio>
#include <memory>

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
