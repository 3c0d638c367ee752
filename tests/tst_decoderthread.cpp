#include "FakeConsole.h"
#include "PDataBuffer.h"
#include "PDoseProcThread.h"
#include "ReplyFrames.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

namespace {

// Notes every report and window call in the order the GUI thread sees them.
class Journal : public QObject, public FakeConsole
{
    Q_OBJECT

public:
    void ShowDoseLine(int id, int count, int tag) override
    {
        FakeConsole::ShowDoseLine(id, count, tag);
        entries << QStringLiteral("line %1").arg(doseLines.last().text);
    }
    void SetLastCoefficients(double c1, double c2, double c3) override
    {
        FakeConsole::SetLastCoefficients(c1, c2, c3);
        entries << QStringLiteral("coef %1 %2 %3").arg(c1).arg(c2).arg(c3);
    }

    QStringList entries;

public slots:
    void Ack(int id, int y, int x) { entries << QStringLiteral("ack %1 %2 %3").arg(id).arg(y).arg(x); }
    void Dose(int id, int count) { entries << QStringLiteral("dose %1 %2").arg(id).arg(count); }
};

// A running decoder on the console's 345-byte buffer, reporting to a journal.
struct Rig {
    Rig()
        : thread(&buffer, nullptr)
    {
        buffer.Init(1, 345);
        thread.SetWindow(&journal);
        QObject::connect(&thread, SIGNAL(AnalyticalFinished(int, int, int)), &journal, SLOT(Ack(int, int, int)));
        QObject::connect(&thread, SIGNAL(SetDoseCount(int, int)), &journal, SLOT(Dose(int, int)));
    }
    ~Rig() { thread.StopDecoding(); }

    void Push(const QByteArray& bytes)
    {
        buffer.Write(bytes.constData(), quint32(bytes.size()));
        thread.WakeUp();
    }

    PDataBuffer buffer;
    Journal journal;
    PDoseProcThread thread;
};

} // namespace

class TestDecoderThread : public QObject
{
    Q_OBJECT

private slots:
    void acknowledgementsArriveInStreamOrder();
    void doseCountComesBeforeItsLineOnTheGuiThread();
    void coefficientsReachTheWindowOnlyForTheSelectedId();
    void startTwiceRunsOneThreadAtLowPriority();
    void stopWhileWaitingReturnsAndEmptiesTheBuffer();
    void stopOnAStoppedDecoderDoesNothing();
    void restartAfterStop();
    void manySmallWakeUpsLoseNothing();
};

void TestDecoderThread::acknowledgementsArriveInStreamOrder()
{
    Rig rig;
    rig.thread.StartDecoding();
    rig.Push(ReplyFrames::Acknowledge(1, 0, 2) + ReplyFrames::Acknowledge(2, 0, 3) + ReplyFrames::Acknowledge(3, 1, 15));
    QTRY_COMPARE(rig.journal.entries, (QStringList { "ack 1 0 2", "ack 2 0 3", "ack 3 1 15" }));
}

void TestDecoderThread::doseCountComesBeforeItsLineOnTheGuiThread()
{
    Rig rig;
    rig.thread.StartDecoding();
    rig.Push(QByteArray::fromHex("FF02CC005900000E99"));
    QTRY_COMPARE(rig.journal.entries.size(), 2);
    QCOMPARE(rig.journal.entries[0], QString("dose 89 14"));
    QVERIFY2(QRegularExpression(R"(^line 89\.   \d\d:\d\d:\d\d\.    0\.0784   count: 204$)")
                 .match(rig.journal.entries[1]).hasMatch(),
             qPrintable(rig.journal.entries[1]));
    QVERIFY(!rig.journal.widgetCallOffGuiThread);
}

void TestDecoderThread::coefficientsReachTheWindowOnlyForTheSelectedId()
{
    Rig rig;
    rig.journal.calibrationId = 3;
    rig.thread.StartDecoding();
    rig.Push(ReplyFrames::Coefficients(3, 12500, 10800, -10000) + ReplyFrames::Acknowledge(3, 0, 10)
             + ReplyFrames::Coefficients(2, 10000, 10000, 10000));
    QTRY_COMPARE(rig.buffer.PackageNum(), 0u);
    QTRY_COMPARE(rig.journal.entries, (QStringList { "coef 1.25 1.08 -1", "ack 3 0 10" }));
    QVERIFY(!rig.journal.widgetCallOffGuiThread);
}

void TestDecoderThread::startTwiceRunsOneThreadAtLowPriority()
{
    Rig rig;
    QSignalSpy started(&rig.thread, SIGNAL(started()));
    rig.thread.StartDecoding();
    rig.thread.StartDecoding();
    QTRY_COMPARE(started.count(), 1);
    QVERIFY(rig.thread.isRunning());
    QCOMPARE(rig.thread.priority(), QThread::LowPriority);
    rig.Push(ReplyFrames::Acknowledge(1, 0, 2)); // decoded by the thread that runs now
    QTRY_COMPARE(rig.journal.entries.size(), 1);
    QCOMPARE(started.count(), 1);
}

void TestDecoderThread::stopWhileWaitingReturnsAndEmptiesTheBuffer()
{
    Rig rig;
    rig.thread.StartDecoding();
    rig.Push(ReplyFrames::Acknowledge(1, 0, 2) + QByteArray("\xFF\x01\x02", 3)); // a frame and a remainder
    QTRY_COMPARE(rig.journal.entries.size(), 1);
    QTRY_COMPARE(rig.buffer.PackageNum(), 3u);
    rig.thread.StopDecoding();
    QVERIFY(rig.thread.isFinished());
    QCOMPARE(rig.buffer.PackageNum(), 0u);
}

void TestDecoderThread::stopOnAStoppedDecoderDoesNothing()
{
    Rig rig;
    rig.buffer.Write("abc", 3);
    rig.thread.StopDecoding();
    QCOMPARE(rig.buffer.PackageNum(), 3u); // not cleared: there was no run to end
    QVERIFY(!rig.thread.isRunning());
}

void TestDecoderThread::restartAfterStop()
{
    Rig rig;
    rig.thread.StartDecoding();
    rig.thread.StopDecoding();
    rig.thread.StartDecoding();
    rig.Push(ReplyFrames::Acknowledge(4, 0, 6));
    QTRY_COMPARE(rig.journal.entries, QStringList { "ack 4 0 6" });
}

// Each write is followed by a wake-up while the loop may be draining: if a
// wake-up were lost the last frames would wait for ever.
void TestDecoderThread::manySmallWakeUpsLoseNothing()
{
    Rig rig;
    rig.thread.StartDecoding();
    QRandomGenerator random(7);
    QByteArray stream;
    QStringList expected;
    for (int i = 0; i < 5000; ++i) {
        stream += ReplyFrames::Acknowledge(i % 256, i / 256 % 256, 2);
        expected << QStringLiteral("ack %1 %2 2").arg(i % 256).arg(i / 256 % 256);
    }
    for (int at = 0; at < stream.size();) {
        const int chunk = qMin(1 + int(random.bounded(40)), stream.size() - at);
        QElapsedTimer patience;
        patience.start();
        while (rig.buffer.FreePackageNum() < quint32(chunk)) {
            QVERIFY(patience.elapsed() < 30000); // the decoder drains what it was woken for
            QThread::usleep(20);
        }
        rig.Push(stream.mid(at, chunk));
        at += chunk;
    }
    QTRY_COMPARE(rig.journal.entries.size(), expected.size());
    QCOMPARE(rig.journal.entries, expected);
}

QTEST_GUILESS_MAIN(TestDecoderThread)
#include "tst_decoderthread.moc"
