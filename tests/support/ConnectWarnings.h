#ifndef DOSEGATE_CONNECTWARNINGS_H
#define DOSEGATE_CONNECTWARNINGS_H

#include <QtGlobal>

class QObject;
class QString;

// Qt only warns of a connection it could not make (a misspelt signal or
// slot, arguments that do not match, a null object), so a test could pass
// while a connection it relies on is missing. While a test runs, each such
// warning fails it.
class ConnectWarnings
{
public:
    // QTest::qExec with the check above Qt Test's own message handler, which
    // still logs every message.
    static int Exec(QObject* test, int argc, char** argv);
    static bool IsConnectWarning(QtMsgType type, const QString& message);
};

#endif
