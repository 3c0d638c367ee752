#include "ConnectWarnings.h"

#include <QCoreApplication>
#include <QString>
#include <QTest>
#include <QThread>

#include <cstdio>
#include <cstdlib>

namespace {

QtMessageHandler s_previous = nullptr;

void Check(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    s_previous(type, context, message);
    if (!ConnectWarnings::IsConnectWarning(type, message))
        return;
    const QByteArray text = "a connection was not made: " + message.toLocal8Bit();
    const QCoreApplication* application = QCoreApplication::instance();
    if (application && QThread::currentThread() == application->thread()) {
        QTest::qFail(text.constData(), context.file ? context.file : __FILE__, context.line);
        return;
    }
    // Qt Test's results are the main thread's alone.
    std::fprintf(stderr, "%s\n", text.constData());
    std::abort();
}

} // namespace

int ConnectWarnings::Exec(QObject* test, int argc, char** argv)
{
    // Qt Test installs its handler in qInit; this one goes on top of it.
    QTest::qInit(test, argc, argv);
    s_previous = qInstallMessageHandler(Check);
    const int failures = QTest::qRun();
    qInstallMessageHandler(s_previous);
    QTest::qCleanup();
    return failures;
}

bool ConnectWarnings::IsConnectWarning(QtMsgType type, const QString& message)
{
    if (type != QtWarningMsg && type != QtCriticalMsg)
        return false;
    return message.startsWith(QLatin1String("QObject::connect")) || message.contains(QLatin1String("No such signal"))
        || message.contains(QLatin1String("No such slot"));
}
