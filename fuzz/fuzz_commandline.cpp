// The console's command line: any arguments give one action, a refusal
// with a message and exit 2 or an action that needs what it names, and
// never a window for a line that asked for something else.
//
// Input: the arguments after the program's name, separated by NUL bytes.

#include "FuzzCheck.h"
#include "CommandLine.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    QStringList arguments { QStringLiteral("dosegate-console") };
    for (const QByteArray& argument : QByteArray(reinterpret_cast<const char*>(data), int(size)).split('\0'))
        arguments << QString::fromUtf8(argument);
    const CommandLine line(arguments);
    switch (line.GetAction()) {
    case CommandLine::Refuse:
        CHECK(line.ExitCode() == CommandLine::kRefusedExitCode);
        CHECK(line.Message().endsWith(QLatin1String("--help'.\n")));
        break;
    case CommandLine::AcceptLoss:
        CHECK(!line.OperatorName().isEmpty());
        break;
    case CommandLine::ExportRecords:
    case CommandLine::ExportRegister:
        CHECK(line.ExitCode() == 0);
        break;
    case CommandLine::Run: {
        bool number = false;
        const uint port = line.Port().toUInt(&number);
        CHECK(line.Port().isEmpty() || (number && port >= 1 && port <= 65535));
        CHECK(line.QtArguments().value(0) == QLatin1String("dosegate-console"));
        break;
    }
    default:
        CHECK(line.ExitCode() == 0);
        break;
    }
    return 0;
}
