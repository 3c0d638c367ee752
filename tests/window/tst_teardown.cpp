#include "LoopbackController.h"

#include <QProcess>
#include <QTest>

class TestTeardown : public QObject
{
    Q_OBJECT

private slots:
    void closingWhileConnectedEndsCleanly();
};

// A decoder thread still running at teardown, or a socket used after it is
// gone, would end the process abnormally or with Qt's warnings.
void TestTeardown::closingWhileConnectedEndsCleanly()
{
    LoopbackController controller;
    QProcess console;
    console.start(QStringLiteral(TEARDOWN_PROBE), { QString::number(controller.Port()) });
    QVERIFY(controller.WaitForClient(10000));
    QVERIFY(controller.WaitForBytes(9, 5000)); // the run's first dose request
    QVERIFY(QTest::qWaitFor([&] { return console.state() == QProcess::NotRunning; }, 10000));
    QCOMPARE(console.exitStatus(), QProcess::NormalExit);
    QCOMPARE(console.exitCode(), 0);
    QCOMPARE(console.readAllStandardOutput(), QByteArray("loop returned 0\n"));
    const QByteArray warnings = console.readAllStandardError();
    QVERIFY2(!warnings.contains("QThread") && !warnings.contains("QSocket"), warnings.constData());
}

QTEST_GUILESS_MAIN(TestTeardown)
#include "tst_teardown.moc"
