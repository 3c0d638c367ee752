#include "FakeConsole.h"
#include "PDataBuffer.h"
#include "PDoseProcThread.h"
#include "ReplyFrames.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>

namespace {

// Notes every frame the decoder hands over, in the order the GUI thread
// takes them, and how many announcements it took.
class Journal : public QObject, public FakeConsole
{
    Q_OBJECT

public:
    explicit Journal(PDoseProcThread* pThread)
        : m_pThread(pThread)
    {
    }

    QStringList entries;
    QList<qint64> arrivals;
    int notices = 0;

public slots:
    void Take()
    {
        ++notices;
        if (QThread::currentThread() != thread())
            widgetCallOffGuiThread = true;
        for (const LinkFrame& f : m_pThread->TakeFrames()) {
            arrivals << f.nArrivalMs;
            switch (f.kind) {
            case LinkFrame::Acknowledgement:
                entries << QStringLiteral("ack %1 %2 %3").arg(f.nId).arg(f.nValue).arg(f.nCode);
                break;
            case LinkFrame::DoseCount:
                entries << QStringLiteral("dose %1 %2 %3").arg(f.nId).arg(f.nValue).arg(f.nCode);
                break;
            case LinkFrame::Coefficients:
                entries << QStringLiteral("coef %1: %2 %3 %4")
                               .arg(f.nId)
                               .arg(f.fCoefficients[0])
                               .arg(f.fCoefficients[1])
                               .arg(f.fCoefficients[2]);
                break;
            }
        }
    }

private:
    PDoseProcThread* m_pThread;
};

// A running decoder on the console's 345-byte buffer, reporting to a journal.
struct Rig {
    Rig()
        : thread(&buffer, nullptr)
        , journal(&thread)
    {
        buffer.Init(1, 345);
        thread.SetWindow(&journal);
        QObject::connect(&thread, SIGNAL(FramesReady()), &journal, SLOT(Take()));
    }
    ~Rig() { thread.StopDecoding(); }

    void Push(const QByteArray& bytes)
    {
        buffer.Write(bytes.constData(), quint32(bytes.size()));
        thread.WakeUp();
    }

    PDataBuffer buffer;
    PDoseProcThread thread;
    Journal journal;
};

} // namespace

class TestDecoderThread : public QObject
{
    Q_OBJECT

private slots:
    void acknowledgementsArriveInStreamOrder();
    void doseCountCarriesItsFieldsAndArrival();
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

void TestDecoderThread::doseCountCarriesItsFieldsAndArrival()
{
    Rig rig;
    rig.thread.StartDecoding();
    const qint64 before = QDateTime::currentMSecsSinceEpoch();
    rig.Push(QByteArray::fromHex("FF02CC005900000E99"));
    QTRY_COMPARE(rig.journal.entries, QStringList { "dose 89 14 204" });
    QVERIFY(rig.journal.arrivals[0] >= before && rig.journal.arrivals[0] <= QDateTime::currentMSecsSinceEpoch());
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
    QTRY_COMPARE(rig.journal.entries, (QStringList { "coef 3: 1.25 1.08 -1", "ack 3 0 10" }));
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
// wake-up were lost the last frames would wait for ever. Frames of every
// kind and many ids come out once each, in order, at most one announcement
// per pass of the loop.
void TestDecoderThread::manySmallWakeUpsLoseNothing()
{
    Rig rig;
    rig.journal.calibrationId = 7;
    rig.thread.StartDecoding();
    QRandomGenerator random(7);
    QByteArray stream;
    QStringList expected;
    for (int i = 0; i < 5000; ++i) {
        const int id = i % 256;
        switch (i % 5) {
        case 0:
        case 3:
            stream += ReplyFrames::DoseCount(id, i, i % 200);
            expected << QStringLiteral("dose %1 %2 %3").arg(id).arg(i).arg(i % 200);
            break;
        case 4:
            if (i % 100 == 4) {
                stream += ReplyFrames::Coefficients(7, i, -i, 10000);
                expected << QStringLiteral("coef 7: %1 %2 1").arg(i / 10000.0).arg(-i / 10000.0);
                break;
            }
            Q_FALLTHROUGH();
        default:
            stream += ReplyFrames::Acknowledge(id, i / 256 % 256, 2);
            expected << QStringLiteral("ack %1 %2 2").arg(id).arg(i / 256 % 256);
            break;
        }
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
    QVERIFY2(quint64(rig.journal.notices) <= rig.thread.PassCount(),
             qPrintable(QStringLiteral("%1 notices, %2 passes").arg(rig.journal.notices).arg(rig.thread.PassCount())));
}

QTEST_GUILESS_MAIN(TestDecoderThread)
#include "tst_decoderthread.moc"
