#include "FakeConsole.h"
#include "PDataBuffer.h"
#include "PDoseProcThread.h"
#include "PDosePackProc.h"
#include "ReplyFrames.h"
#include "StdoutCapture.h"

#include <QRandomGenerator>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

namespace {

constexpr int kFrames = 1000000;

// Frame i is an acknowledgement or a dose count whose fields spell i, so a
// report names the frame it came from.
struct Frame {
    bool dose;
    int a, b, c;
};

Frame FrameNumber(int i)
{
    if (i % 3 == 0)
        return { true, i & 0xFFFF, i % 0x0D0000, i & 0xFF }; // no 0x0D top byte: with more behind, that reads as coefficients
    int x = (i >> 16) & 0xFF;
    if (x == 0x0D)
        x = 0x0E;
    return { false, i & 0xFF, (i >> 8) & 0xFF, x };
}

QByteArray Bytes(const Frame& f)
{
    return f.dose ? ReplyFrames::DoseCount(f.a, f.b, f.c) : ReplyFrames::Acknowledge(f.a, f.b, f.c);
}

// Compares every report, on the decoder thread, with the frame expected next.
class Checker : public QObject
{
    Q_OBJECT

public:
    std::atomic<int> next { 0 };
    std::atomic<int> mismatches { 0 };
    std::atomic<int> outOfRange { 0 };
    std::atomic<bool> sentinel { false };

    PDoseProcThread* pThread = nullptr;

public slots:
    // On the decoder thread, as each pass hands its frames over.
    void Take()
    {
        for (const LinkFrame& f : pThread->TakeFrames()) {
            if (f.kind == LinkFrame::Acknowledgement)
                Ack(f.nId, f.nValue, f.nCode);
            else if (f.kind == LinkFrame::DoseCount)
                Dose(f.nId, f.nValue);
            else
                ++mismatches;
        }
    }

private:
    void Ack(int id, int y, int x)
    {
        if (id == 0x5A && y == 0xA5 && x == 0x3C) {
            sentinel = true;
            return;
        }
        Note(Frame { false, id, y, x }, id <= 0xFF && y <= 0xFF && x <= 0xFF);
    }
    void Dose(int id, int count)
    {
        Note(Frame { true, id, count, -1 }, id <= 0xFFFF && count <= 0xFFFFFF);
    }

private:
    void Note(const Frame& got, bool inRange)
    {
        if (!inRange || got.a < 0 || got.b < 0)
            ++outOfRange;
        const Frame want = FrameNumber(next++);
        if (got.dose != want.dose || got.a != want.a || got.b != want.b || (!got.dose && got.c != want.c))
            ++mismatches;
    }
};

// The decoder thread on the console's 345-byte buffer, fed the way the link
// session feeds it: push, then wake.
struct Rig {
    Rig()
        : pack(&buffer)
        , thread(&buffer, nullptr)
    {
        buffer.Init(1, 345);
        thread.SetWindow(&console);
        checker.pThread = &thread;
        QObject::connect(&thread, SIGNAL(FramesReady()), &checker, SLOT(Take()), Qt::DirectConnection);
        thread.StartDecoding();
    }
    ~Rig() { thread.StopDecoding(); }

    void Push(const QByteArray& bytes)
    {
        pack.PushData(bytes.constData(), bytes.size());
        thread.WakeUp();
    }

    PDataBuffer buffer;
    PDosePackProc pack;
    FakeConsole console;
    Checker checker;
    PDoseProcThread thread;
};

// Random chunks of up to 280 bytes, each written once the buffer has room for
// it (or at once, when `wait` is off) from a thread of its own.
void Feed(Rig& rig, quint32 seed, bool wait, std::atomic<bool>& overCapacity)
{
    QRandomGenerator random(seed);
    QByteArray pending;
    for (int i = 0; i < kFrames || !pending.isEmpty();) {
        while (pending.size() < 280 && i < kFrames)
            pending += Bytes(FrameNumber(i++));
        const int chunk = qMin(pending.size(), 1 + int(random.bounded(280)));
        while (wait && rig.buffer.FreePackageNum() < quint32(chunk))
            std::this_thread::yield();
        rig.Push(pending.left(chunk));
        pending.remove(0, chunk);
        if (rig.buffer.PackageNum() > rig.buffer.TotalPackageNum())
            overCapacity = true;
    }
}

} // namespace

class TestStress : public QObject
{
    Q_OBJECT

private slots:
    void millionFramesInRandomChunksArriveOnceInOrder();
    void forcedOverflowKeepsTheInvariants();
};

void TestStress::millionFramesInRandomChunksArriveOnceInOrder()
{
    Rig rig;
    std::atomic<bool> overCapacity { false };
    StdoutCapture capture;
    std::thread writer(Feed, std::ref(rig), 20261207u, true, std::ref(overCapacity));
    const bool all = QTest::qWaitFor([&] { return rig.checker.next >= kFrames; }, 240000);
    writer.join();
    const QByteArray printed = capture.Finish();
    QVERIFY2(all, qPrintable(QString::number(rig.checker.next)));
    QCOMPARE(printed, QByteArray()); // no overflow line: so nothing may be missing
    QCOMPARE(rig.checker.next.load(), kFrames);
    QCOMPARE(rig.checker.mismatches.load(), 0);
    QCOMPARE(rig.checker.outOfRange.load(), 0);
    QVERIFY(!overCapacity);
}

// Written without waiting for room, the buffer overflows: bytes are dropped,
// so frames are lost or spliced, but the buffer never holds more than it
// can, every report stays within its fields, and decoding goes on.
void TestStress::forcedOverflowKeepsTheInvariants()
{
    Rig rig;
    std::atomic<bool> overCapacity { false };
    StdoutCapture capture;
    Feed(rig, 7u, false, overCapacity);
    QVERIFY(QTest::qWaitFor([&] { return rig.buffer.PackageNum() < 19; }, 60000));
    rig.Push(QByteArray(32, '\0') + ReplyFrames::Acknowledge(0x5A, 0xA5, 0x3C));
    QVERIFY(QTest::qWaitFor([&] { return rig.checker.sentinel.load(); }, 10000));
    const QByteArray printed = capture.Finish();
    QVERIFY(printed.contains("m_nTotalPackageNum = 345"));
    QVERIFY(!overCapacity);
    QCOMPARE(rig.checker.outOfRange.load(), 0);
    QVERIFY(rig.checker.next > 0);
}

QTEST_GUILESS_MAIN(TestStress)
#include "tst_stress.moc"
