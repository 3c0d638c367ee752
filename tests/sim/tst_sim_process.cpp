#include "WireBytes.h"
#include <QProcess>
#include <QRegularExpression>
#include <QTcpSocket>
#include <QTest>

class TestSimProcess : public QObject
{
    Q_OBJECT

private slots:
    void servesARealConsoleConnectionAndStopsOnSigterm();
    void refusesBadNodeOptions_data();
    void refusesBadNodeOptions();
};

void TestSimProcess::servesARealConsoleConnectionAndStopsOnSigterm()
{
    QProcess sim;
    sim.start(QStringLiteral(CONTROLLER_SIM),
              { "--port", "0", "--seed", "1", "--nodes", "1-2", "--dose-rate", "0" });
    QVERIFY(sim.waitForStarted(5000));
    QVERIFY(QTest::qWaitFor([&] { return sim.canReadLine(); }, 10000));
    const QString first = QString::fromLocal8Bit(sim.readLine()).trimmed();
    const QRegularExpressionMatch match
        = QRegularExpression(QStringLiteral("^listening on 127\\.0\\.0\\.1:(\\d+)$")).match(first);
    QVERIFY2(match.hasMatch(), qPrintable(first));

    QTcpSocket console;
    console.connectToHost(QHostAddress::LocalHost, quint16(match.captured(1).toUInt()));
    QVERIFY(console.waitForConnected(5000));
    console.write(Hex("5A A4 0C 00 00 00 00 FF 01 01 00 00 C0 3F FF FF"));
    QCOMPARE(ReadAtLeast(console, 7).toHex(' '), Hex("FF 01 01 00 00 01 00").toHex(' '));
    console.write(Hex("FF 02 CC 00 59 00 00 0E 99"));
    QCOMPARE(ReadAtLeast(console, 18).toHex(' '),
             Hex("FF 02 00 00 01 00 00 00 03 FF 02 00 00 02 00 00 00 00").toHex(' '));

    sim.terminate();
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(sim.readAllStandardOutput());
    QVERIFY2(out.contains(QLatin1String(" node 1 set threshold 1.50\n")), qPrintable(out));
    QVERIFY2(out.contains(QLatin1String(" dose request\n")), qPrintable(out));
    QVERIFY2(out.endsWith(QLatin1String("sent 2 dose frames\n")), qPrintable(out));
    const QString err = QString::fromLocal8Bit(sim.readAllStandardError());
    QVERIFY2(err.contains(QLatin1String("rejected a frame: bad marker 0x5A")), qPrintable(err));
}

void TestSimProcess::refusesBadNodeOptions_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("message");
    QTest::newRow("node list") << QStringList { "--nodes", "0-3" } << "ids run from 1 to 255";
    QTest::newRow("silence of a node not simulated")
        << QStringList { "--nodes", "1-8", "--silence", "9:10:5" } << "node 9 is not among the simulated nodes";
    QTest::newRow("step without a rate") << QStringList { "--step", "3:10" } << "--step: \"3:10\" is not ID:AT:RATE";
}

void TestSimProcess::refusesBadNodeOptions()
{
    QFETCH(QStringList, options);
    QFETCH(QString, message);
    QProcess sim;
    sim.start(QStringLiteral(CONTROLLER_SIM), QStringList { "--port", "0" } + options);
    QVERIFY(sim.waitForFinished(10000));
    QCOMPARE(sim.exitCode(), 2);
    const QString err = QString::fromLocal8Bit(sim.readAllStandardError());
    QVERIFY2(err.contains(message), qPrintable(err));
}

QTEST_GUILESS_MAIN(TestSimProcess)
#include "tst_sim_process.moc"
