#include "WorkbookReader.h"

#include <QProcess>

const char* const WorkbookReader::kMissing =
    "reading workbooks back needs Python 3 with openpyxl (Debian: python3-openpyxl)";

QString WorkbookReader::Python()
{
    static const QString python = [] {
        const QString path = QStringLiteral(PYTHON3);
        if (path.isEmpty())
            return QString();
        QProcess probe;
        probe.start(path, { QStringLiteral("-c"), QStringLiteral("import openpyxl") });
        const bool usable = probe.waitForFinished(60000) && probe.exitStatus() == QProcess::NormalExit
            && probe.exitCode() == 0;
        return usable ? path : QString();
    }();
    return python;
}
