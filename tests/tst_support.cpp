#include <QProcess>
#include <QRegularExpression>
#include <QTest>

// The test support's own checks, on a probe whose functions each do one
// thing a test may do.
class TestSupport : public QObject
{
    Q_OBJECT

private slots:
    void outcomeOfProbe_data();
    void outcomeOfProbe();
};

void TestSupport::outcomeOfProbe_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("ci");
    QTest::addColumn<QString>("outcome");
    QTest::newRow("misspelt signal") << "failsOnMisspeltSignal" << "" << "FAIL!";
    QTest::newRow("misspelt slot") << "failsOnMisspeltSlot" << "" << "FAIL!";
    QTest::newRow("arguments that do not match") << "failsOnArgumentsThatDoNotMatch" << "" << "FAIL!";
    QTest::newRow("null sender") << "failsOnNullSender" << "" << "FAIL!";
    QTest::newRow("sound connection, other warning") << "passesOnSoundConnection" << "" << "PASS";
    QTest::newRow("missing tool") << "skipsOrFailsForMissingTool" << "" << "SKIP";
    QTest::newRow("missing tool, CI=false") << "skipsOrFailsForMissingTool" << "false" << "SKIP";
    QTest::newRow("missing tool, CI=true") << "skipsOrFailsForMissingTool" << "true" << "FAIL!";
}

void TestSupport::outcomeOfProbe()
{
    QFETCH(QString, function);
    QFETCH(QString, ci);
    QFETCH(QString, outcome);
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(QStringLiteral("CI"));
    if (!ci.isEmpty())
        environment.insert(QStringLiteral("CI"), ci);
    probe.setProcessEnvironment(environment);
    probe.start(QStringLiteral(SUPPORT_PROBE), { function });
    QVERIFY(probe.waitForFinished(30000));
    const QString out = QString::fromUtf8(probe.readAllStandardOutput());
    QCOMPARE(probe.exitStatus(), QProcess::NormalExit);
    QCOMPARE(probe.exitCode(), outcome == "FAIL!" ? 1 : 0);
    const QRegularExpression line(QStringLiteral("^%1 +: SupportProbe::%2\\(\\)").arg(QRegularExpression::escape(outcome), function),
                                  QRegularExpression::MultilineOption);
    QVERIFY2(line.match(out).hasMatch(), qPrintable(out));
}

QTEST_GUILESS_MAIN(TestSupport)
#include "tst_support.moc"
