#include "WireBytes.h"
#include "PDataBuffer.h"
#include "PSliceDecoder.h"
#include "ReplyFrames.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QTest>

namespace {

// Writes down every report as one line of text, in order.
class RecordingSink : public PSliceDecoder::Sink
{
public:
    int CalibrationId() override { return calibrationId; }
    void Acknowledged(int id, int y, int x) override
    {
        events << QStringLiteral("ack %1 %2 %3").arg(id).arg(y).arg(x);
    }
    void DoseCounted(int id, int count, int tag) override
    {
        events << QStringLiteral("dose %1 %2 %3").arg(id).arg(count).arg(tag);
    }
    void CoefficientsRead(double c1, double c2, double c3) override
    {
        events << QStringLiteral("coef %1 %2 %3").arg(c1).arg(c2).arg(c3);
    }

    int calibrationId = 1;
    QStringList events;
};

// A decoder over the console's 345-byte buffer, fed one write at a time.
struct Rig {
    Rig()
        : decoder(&buffer)
    {
        buffer.Init(1, 345);
        decoder.SetSink(&sink);
    }
    void Feed(const QByteArray& bytes)
    {
        buffer.Write(bytes.constData(), quint32(bytes.size()));
        decoder.Drain();
    }

    PDataBuffer buffer;
    PSliceDecoder decoder;
    RecordingSink sink;
};

// Frames the decoder must report one for one, with the report each gives.
// Dose counts keep 0x0D out of their top byte and acknowledgements out of x:
// with 12 bytes behind it, such a frame is taken for a coefficient reply, by
// the protocol's own rule.
QByteArray RandomFrames(QRandomGenerator& random, int frames, QStringList& expected)
{
    QByteArray stream;
    for (int i = 0; i < frames; ++i) {
        switch (random.bounded(3)) {
        case 0: {
            const int id = random.bounded(256), y = random.bounded(256);
            int x = random.bounded(256);
            if (x == 0x0D)
                x = 0x0E;
            stream += ReplyFrames::Acknowledge(id, y, x);
            expected << QStringLiteral("ack %1 %2 %3").arg(id).arg(y).arg(x);
            break;
        }
        case 1: {
            const int id = random.bounded(65536), tag = random.bounded(256);
            int count = random.bounded(1 << 24);
            if (count >> 16 == 0x0D)
                count ^= 0x100000;
            stream += ReplyFrames::DoseCount(id, count, tag);
            expected << QStringLiteral("dose %1 %2 %3").arg(id).arg(count).arg(tag);
            break;
        }
        default: {
            const qint32 v = qint32(random.bounded(50001));
            stream += ReplyFrames::Coefficients(1, v, 10000, -v);
            expected << QStringLiteral("coef %1 1 %2").arg(v / 10000.0).arg(-v / 10000.0);
            break;
        }
        }
    }
    return stream;
}

} // namespace

class TestSliceDecoder : public QObject
{
    Q_OBJECT

private slots:
    void reportsFramesInStreamOrder_data();
    void reportsFramesInStreamOrder();
    void waitsForTheSeventhByte();
    void frameSplitAnywhereIsReportedOnce_data();
    void frameSplitAnywhereIsReportedOnce();
    void loneFramesWithTheMarkAreReportedAtOnce();
    void coefficientReplyForAnotherIdIsDropped();
    void misalignedCoefficientMarkSwallowsTwelveBytes();
    void withoutSinkEverySliceIsDiscarded();
    void randomChunksGiveEveryFrameOnceInOrder();
};

void TestSliceDecoder::reportsFramesInStreamOrder_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("events");
    QTest::addColumn<int>("left"); // bytes still waiting for a slice

    QTest::newRow("three acknowledgements in one write")
        << ReplyFrames::Acknowledge(1, 0, 2) + ReplyFrames::Acknowledge(2, 1, 15) + ReplyFrames::Acknowledge(3, 2, 14)
        << QStringList { "ack 1 0 2", "ack 2 1 15", "ack 3 2 14" } << 0;
    QTest::newRow("stray byte before an acknowledgement")
        << "\x42" + ReplyFrames::Acknowledge(4, 0, 5)
        << QStringList { "ack 4 0 5" } << 0;
    QTest::newRow("garbage run")
        << Hex("00 11 7F") + ReplyFrames::Acknowledge(9, 1, 1)
        << QStringList { "ack 9 1 1" } << 0;
    QTest::newRow("0xFF of an unknown type takes the next frame's head with it")
        << Hex("00 11 FF 7F") + ReplyFrames::Acknowledge(9, 1, 1)
        << QStringList {} << 2;
    QTest::newRow("fixed dose frame")
        << Hex("FF 02 CC 00 59 00 00 0E 99")
        << QStringList { "dose 89 14 204" } << 0;
    QTest::newRow("largest id and count")
        << ReplyFrames::DoseCount(65535, 0xFFFFFF, 255)
        << QStringList { "dose 65535 16777215 255" } << 0;
    QTest::newRow("unknown frame type: seven bytes go")
        << Hex("FF 03 01 02 03 04 05") + ReplyFrames::Acknowledge(1, 0, 3)
        << QStringList { "ack 1 0 3" } << 0;
    QTest::newRow("lone dose frame with 0x0D top byte")
        << Hex("FF 02 CC 00 59 0D 01 0E 99")
        << QStringList { "dose 89 852238 204" } << 0;
    QTest::newRow("lone acknowledgement of type 0x0D")
        << ReplyFrames::Acknowledge(1, 0, 0x0D)
        << QStringList { "ack 1 0 13" } << 0;
    QTest::newRow("0x0D dose frame with twelve bytes behind it reads as coefficients")
        << Hex("FF 02 00 00 01 0D 01 00 00 27 10 00 00 27 10 00 00 27 10")
        << QStringList { "coef 1 1 1" } << 0;
    QTest::newRow("coefficient reply for the selected id")
        << ReplyFrames::Coefficients(1, 10000, 5000, 20000)
        << QStringList { "coef 1 0.5 2" } << 0;
    QTest::newRow("negative coefficient")
        << Hex("00 00 00 00 FF 0D 01 FF FF D8 F0 00 00 27 10 00 00 00 01")
        << QStringList { "coef -1 1 0.0001" } << 0;
    QTest::newRow("byte after a coefficient reply is passed over")
        << ReplyFrames::Coefficients(1, 12500, 10000, 10800) + "\x5A" + ReplyFrames::Acknowledge(1, 0, 10)
        << QStringList { "coef 1.25 1 1.08", "ack 1 0 10" } << 0;
}

void TestSliceDecoder::reportsFramesInStreamOrder()
{
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, events);
    QFETCH(int, left);
    Rig rig;
    rig.Feed(stream);
    QCOMPARE(rig.sink.events, events);
    QCOMPARE(rig.buffer.PackageNum(), quint32(left));
}

void TestSliceDecoder::waitsForTheSeventhByte()
{
    Rig rig;
    const QByteArray ack = ReplyFrames::Acknowledge(7, 0, 6);
    rig.Feed(ack.left(6));
    QCOMPARE(rig.sink.events, QStringList());
    QCOMPARE(rig.buffer.PackageNum(), 6u); // nothing consumed
    rig.Feed(ack.mid(6));
    QCOMPARE(rig.sink.events, QStringList { "ack 7 0 6" });
}

void TestSliceDecoder::frameSplitAnywhereIsReportedOnce_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("event");
    QTest::addColumn<int>("cut");
    const struct {
        const char* name;
        QByteArray frame;
        const char* event;
    } frames[] = {
        { "acknowledgement", ReplyFrames::Acknowledge(5, 1, 15), "ack 5 1 15" },
        { "dose count", ReplyFrames::DoseCount(300, 70000, 3), "dose 300 70000 3" },
        { "coefficient reply", ReplyFrames::Coefficients(1, 9000, 10000, 11000), "coef 0.9 1 1.1" },
        { "dose count with 0x0D top byte", ReplyFrames::DoseCount(300, 0x0D0102, 3), "dose 300 852226 3" },
        { "stray byte and acknowledgement", "\x13" + ReplyFrames::Acknowledge(2, 0, 7), "ack 2 0 7" },
    };
    for (const auto& f : frames) {
        for (int cut = 1; cut < f.frame.size(); ++cut)
            QTest::addRow("%s cut after byte %d", f.name, cut) << f.frame << QString(f.event) << cut;
    }
}

void TestSliceDecoder::frameSplitAnywhereIsReportedOnce()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, event);
    QFETCH(int, cut);
    const QByteArray next = ReplyFrames::Acknowledge(8, 8, 8);
    Rig rig;
    rig.Feed(frame.left(cut));
    rig.Feed(frame.mid(cut) + next);
    QCOMPARE(rig.sink.events, (QStringList { event, "ack 8 8 8" }));
}

// As a single polled node sends them: each frame is reported before the
// next arrives, whatever its count's middle byte (1 is the calibration id).
void TestSliceDecoder::loneFramesWithTheMarkAreReportedAtOnce()
{
    Rig rig;
    QStringList expected;
    for (const int count : { 0x0D0000, 0x0D0105, 0x0D01FF, 0x0D8000, 0x0DFFFF }) {
        rig.Feed(ReplyFrames::DoseCount(7, count, 0));
        expected << QStringLiteral("dose 7 %1 0").arg(count);
        QCOMPARE(rig.sink.events, expected);
        QCOMPARE(rig.buffer.PackageNum(), 0u);
    }
}

// Its first seven bytes are synchronised like any slice, which shifts in the
// head of the frame that follows: that frame is lost, the next one is not.
void TestSliceDecoder::coefficientReplyForAnotherIdIsDropped()
{
    Rig rig;
    rig.sink.calibrationId = 2;
    rig.Feed(ReplyFrames::Coefficients(1, 10000, 10000, 10000) + ReplyFrames::Acknowledge(1, 0, 10)
             + ReplyFrames::Acknowledge(2, 0, 10));
    QCOMPARE(rig.sink.events, QStringList { "ack 2 0 10" });
}

// The six bytes before the mark are synchronised after the twelve value
// bytes have gone, so an acknowledgement among those twelve is lost.
void TestSliceDecoder::misalignedCoefficientMarkSwallowsTwelveBytes()
{
    Rig rig;
    const QByteArray swallowed = ReplyFrames::Acknowledge(1, 0, 2) + Hex("00 00 00 00 00");
    rig.Feed(Hex("11 22 33 44 55 0D 05") + swallowed + ReplyFrames::Acknowledge(2, 0, 3));
    QCOMPARE(rig.sink.events, QStringList { "ack 2 0 3" });
}

void TestSliceDecoder::withoutSinkEverySliceIsDiscarded()
{
    PDataBuffer buffer;
    buffer.Init(1, 345);
    PSliceDecoder decoder(&buffer);
    const QByteArray stream = ReplyFrames::Acknowledge(1, 0, 1) + ReplyFrames::DoseCount(1, 2, 3);
    buffer.Write(stream.constData(), quint32(stream.size()));
    decoder.Drain();
    QCOMPARE(buffer.PackageNum(), 2u); // the dose frame's tail: no slice of its own

    RecordingSink sink;
    decoder.SetSink(&sink);
    buffer.Write("\xFF\x01\x03\x00\x00\x02\x00", 7);
    decoder.Drain();
    QCOMPARE(sink.events, QStringList { "ack 3 0 2" });
}

void TestSliceDecoder::randomChunksGiveEveryFrameOnceInOrder()
{
    for (quint32 seed = 1; seed <= 20; ++seed) {
        QRandomGenerator random(seed);
        QStringList expected;
        const QByteArray stream = RandomFrames(random, 2000, expected);
        Rig rig;
        for (int at = 0; at < stream.size();) {
            const int chunk = qMin(1 + int(random.bounded(280)), stream.size() - at);
            rig.Feed(stream.mid(at, chunk));
            at += chunk;
        }
        QCOMPARE(rig.sink.events.size(), expected.size());
        QCOMPARE(rig.sink.events, expected);
    }
}

QTEST_GUILESS_MAIN(TestSliceDecoder)
#include "tst_slicedecoder.moc"
