// Test functions run one at a time by tst_support, which expects each to
// pass, fail or skip as its name says.
#include "MissingTool.h"

#include <QTest>
#include <QTimer>

class SupportProbe : public QObject
{
    Q_OBJECT

private slots:
    void failsOnMisspeltSignal()
    {
        QTimer timer;
        connect(&timer, SIGNAL(timedOut()), &timer, SLOT(stop()));
    }
    void failsOnMisspeltSlot()
    {
        QTimer timer;
        connect(&timer, SIGNAL(timeout()), &timer, SLOT(halt()));
    }
    void failsOnArgumentsThatDoNotMatch()
    {
        QTimer timer;
        connect(&timer, SIGNAL(timeout()), &timer, SLOT(start(int)));
    }
    void failsOnNullSender()
    {
        QTimer timer;
        connect(nullptr, SIGNAL(timeout()), &timer, SLOT(stop()));
    }
    void passesOnSoundConnection()
    {
        QTimer timer;
        QVERIFY(connect(&timer, SIGNAL(timeout()), &timer, SLOT(stop())));
        qWarning("an unrelated warning");
    }
    void skipsOrFailsForMissingTool() { SKIP_FOR_MISSING_TOOL("the probe's tool is not installed"); }
};

QTEST_GUILESS_MAIN(SupportProbe)
#include "support_probe.moc"
