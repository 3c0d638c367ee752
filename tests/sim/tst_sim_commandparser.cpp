#include "WireBytes.h"
#include "CommandParser.h"

#include <QRandomGenerator>
#include <QStringList>
#include <QTest>

namespace {

// Every item the parser gives, one line each: "code target payload" for a
// command, "dose request", or "rejected: reason".
QStringList Parse(CommandParser& parser, const QByteArray& bytes)
{
    parser.Feed(bytes);
    QStringList items;
    CommandParser::Item item;
    while (parser.Next(item)) {
        if (item.rejected)
            items << QStringLiteral("rejected: ") + item.reason;
        else if (item.command.kind() == CommandFrame::Kind::DoseRequest)
            items << QStringLiteral("dose request");
        else
            items << QStringLiteral("%1 %2 %3")
                         .arg(item.command.code(), 2, 16, QLatin1Char('0'))
                         .arg(item.command.target())
                         .arg(QString::fromLatin1(item.command.payload().toHex(' ')))
                         .trimmed();
    }
    return items;
}

QStringList ParseInChunks(const QList<QByteArray>& chunks)
{
    CommandParser parser;
    QStringList items;
    for (const QByteArray& chunk : chunks)
        items += Parse(parser, chunk);
    return items;
}

const char* const kGoodCoefficientRead = "A4 08 00 00 00 00 FF 0D 01 0C FF";
const char* const kDoseRequest = "FF 02 CC 00 59 00 00 0E 99";

} // namespace

class TestSimCommandParser : public QObject
{
    Q_OBJECT

private slots:
    void acceptsEveryCommandShape_data();
    void acceptsEveryCommandShape();
    void rejectsMalformedFrameOnceAndTakesTheNext_data();
    void rejectsMalformedFrameOnceAndTakesTheNext();
    void rejectsBadHeaderWithoutWaitingForItsLength();
    void streamSplitAtEveryByteGivesTheSameItems();
    void randomNoiseNeverHidesAGoodFrame();
    void longChunksEndingInsideFramesLoseNothing();
};

void TestSimCommandParser::acceptsEveryCommandShape_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("item");

    QTest::newRow("threshold 1.5, id 1") << Hex("A4 0C 00 00 00 00 FF 01 01 00 00 C0 3F FF FF")
                                         << "01 1 00 00 c0 3f";
    QTest::newRow("display switch on, id 4") << Hex("A4 09 00 00 00 00 FF 02 04 01 07 FF") << "02 4 01";
    QTest::newRow("detector parameters DT-B, id 1")
        << Hex("A4 0E 00 00 00 00 FF 03 01 07 D0 01 C2 00 16 00 FF") << "03 1 07 d0 01 c2 00 16";
    QTest::newRow("node id 1 to 5") << Hex("A4 09 00 00 00 00 FF 05 01 05 01 FF") << "05 1 05";
    QTest::newRow("language English, id 2") << Hex("A4 09 00 00 00 00 FF 06 02 01 05 FF") << "06 2 01";
    QTest::newRow("precision three digits, id 2") << Hex("A4 09 00 00 00 00 FF 07 02 01 04 FF") << "07 2 01";
    QTest::newRow("coefficients 1, 0.5, 2, id 2")
        << Hex("A4 14 00 00 00 00 FF 0A 02 00 00 27 10 00 00 13 88 00 00 4E 20 CA FF")
        << "0a 2 00 00 27 10 00 00 13 88 00 00 4e 20";
    QTest::newRow("coefficient read, id 1") << Hex(kGoodCoefficientRead) << "0d 1";
    QTest::newRow("unit Sv, id 1") << Hex("A4 09 00 00 00 00 FF 0E 01 02 0D FF") << "0e 1 02";
    QTest::newRow("alarm test on, id 1") << Hex("A4 09 00 00 00 00 FF 0F 01 01 0F FF") << "0f 1 01";
    QTest::newRow("slave address 3 to 7") << Hex("A4 09 00 00 00 00 FF 11 03 07 15 FF") << "11 3 07";
    QTest::newRow("potentiometer down 10, id 3") << Hex("A4 09 00 00 00 00 FF 1F 03 0A 16 FF") << "1f 3 0a";
    QTest::newRow("potentiometer up 10, id 3") << Hex("A4 09 00 00 00 00 FF 2F 03 0A 26 FF") << "2f 3 0a";
    QTest::newRow("fixed dose frame") << Hex(kDoseRequest) << "dose request";
}

void TestSimCommandParser::acceptsEveryCommandShape()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, item);
    CommandParser parser;
    QCOMPARE(Parse(parser, frame), QStringList { item });
    QCOMPARE(parser.Buffered(), 0);
}

void TestSimCommandParser::rejectsMalformedFrameOnceAndTakesTheNext_data()
{
    QTest::addColumn<QByteArray>("bad");
    QTest::addColumn<QString>("reason");

    QTest::newRow("bad marker") << Hex("12 34 56") << "bad marker 0x12";
    QTest::newRow("0xFF that is not a dose request") << Hex("FF 02 CC 01 59") << "bad marker 0xFF";
    QTest::newRow("length of no command") << Hex("A4 0A 00 00 00 00 FF 02 01 01 02 00 FF") << "bad length 10";
    QTest::newRow("length of another command")
        << Hex("A4 0C 00 00 00 00 FF 02 01 01 00 00 03 FF") << "length 12 does not fit command 0x02";
    QTest::newRow("unknown command") << Hex("A4 09 00 00 00 00 FF 04 01 01 04 FF") << "unknown command 0x04";
    QTest::newRow("non-zero prefix") << Hex("A4 09 00 00 01 00 FF 02 01 01 02 FE") << "non-zero prefix";
    QTest::newRow("missing 0xFF marker") << Hex("A4 09 00 00 00 00 FE 02 01 01 02 FE") << "frame marker is 0xFE";
    QTest::newRow("bad frame check") << Hex("A4 09 00 00 00 00 FF 02 01 01 03 FE") << "bad frame check 0x03";
    QTest::newRow("bad envelope check") << Hex("A4 09 00 00 00 00 FF 02 01 01 02 00") << "bad envelope check 0x00";
    QTest::newRow("envelope check of a frame that has none")
        << Hex("A4 08 00 00 00 00 FF 0D 01 0C") << "bad envelope check 0xA4";
}

void TestSimCommandParser::rejectsMalformedFrameOnceAndTakesTheNext()
{
    QFETCH(QByteArray, bad);
    QFETCH(QString, reason);
    CommandParser parser;
    const QStringList items = Parse(parser, bad + Hex(kGoodCoefficientRead) + Hex(kDoseRequest));
    QCOMPARE(items.size(), 3);
    QVERIFY2(items[0].startsWith(QStringLiteral("rejected: ") + reason), qPrintable(items[0]));
    QCOMPARE(items.mid(1), (QStringList { "0d 1", "dose request" }));
    QCOMPARE(parser.Buffered(), 0);
}

// A length byte bent from 9 to 20 must not make the parser sit on the
// frame, waiting for eleven bytes that may never come.
void TestSimCommandParser::rejectsBadHeaderWithoutWaitingForItsLength()
{
    CommandParser parser;
    const QStringList items = Parse(parser, Hex("A4 14 00 00 00 00 FF 02 01 01 02 FF"));
    QCOMPARE(items.size(), 1);
    QVERIFY2(items[0].startsWith(QStringLiteral("rejected: length 20 does not fit command 0x02")),
             qPrintable(items[0]));
    QCOMPARE(Parse(parser, Hex(kGoodCoefficientRead)), QStringList { "0d 1" });
}

// The bad frame ends in 0xFF, the first byte of a dose request: cut right
// after it, the parser must still report that frame once, not twice.
void TestSimCommandParser::streamSplitAtEveryByteGivesTheSameItems()
{
    const QByteArray stream = Hex("A4 0C 00 00 00 00 FF 01 01 00 00 C0 3F FF FF") + Hex(kDoseRequest)
        + Hex("A4 09 00 00 00 00 FF 02 01 01 03 FF") + Hex("07 07") + Hex(kDoseRequest)
        + Hex("A4 14 00 00 00 00 FF 0A 02 00 00 27 10 00 00 13 88 00 00 4E 20 CA FF");
    const QStringList expected {
        "01 1 00 00 c0 3f",
        "dose request",
        "rejected: bad frame check 0x03, expected 0x02",
        "dose request",
        "0a 2 00 00 27 10 00 00 13 88 00 00 4e 20",
    };
    for (int cut = 1; cut < stream.size(); ++cut)
        QCOMPARE(ParseInChunks({ stream.left(cut), stream.mid(cut) }), expected);
    QList<QByteArray> bytes;
    for (char byte : stream)
        bytes << QByteArray(1, byte);
    QCOMPARE(ParseInChunks(bytes), expected);
}

void TestSimCommandParser::randomNoiseNeverHidesAGoodFrame()
{
    const QList<QByteArray> good = {
        Hex(kGoodCoefficientRead),
        Hex("A4 09 00 00 00 00 FF 2F 03 0A 26 FF"),
        Hex(kDoseRequest),
        Hex("A4 0E 00 00 00 00 FF 03 01 07 D0 01 C2 00 16 00 FF"),
    };
    const QStringList names { "0d 1", "2f 3 0a", "dose request", "03 1 07 d0 01 c2 00 16" };
    for (quint32 seed = 1; seed <= 20; ++seed) {
        QRandomGenerator random(seed);
        QByteArray stream;
        QStringList expected;
        for (int i = 0; i < 300; ++i) {
            QByteArray noise(random.bounded(12), '\0');
            for (char& byte : noise) // markers more often than chance, to tempt the parser
                byte = char(random.bounded(4) == 0 ? (random.bounded(2) ? 0xA4 : 0xFF) : random.bounded(256));
            const int pick = random.bounded(good.size());
            stream += noise + good[pick];
            expected << names[pick];
        }
        CommandParser parser;
        QStringList taken;
        for (int at = 0; at < stream.size();) {
            const int chunk = 1 + random.bounded(40);
            for (const QString& item : Parse(parser, stream.mid(at, chunk))) {
                if (!item.startsWith(QLatin1String("rejected")))
                    taken << item;
            }
            at += chunk;
        }
        QCOMPARE(taken, expected);
    }
}

// Long chunks that end inside a frame, so the parser drops the bytes it has
// taken from the front of its buffer while it still holds part of a frame:
// every frame must still come out whole and in order.
void TestSimCommandParser::longChunksEndingInsideFramesLoseNothing()
{
    const QByteArray frame = Hex(kGoodCoefficientRead);
    const QByteArray dose = Hex(kDoseRequest);
    QByteArray stream;
    for (int i = 0; i < 1000; ++i)
        stream += i % 2 ? dose : frame;
    CommandParser parser;
    QStringList items;
    for (int at = 0; at < stream.size(); at += 4501) // chunks that end inside a frame
        items += Parse(parser, stream.mid(at, 4501));
    QCOMPARE(items.size(), 1000);
    for (int i = 0; i < items.size(); ++i)
        QCOMPARE(items[i], QString(i % 2 ? "dose request" : "0d 1"));
    QCOMPARE(parser.Buffered(), 0);
}

QTEST_GUILESS_MAIN(TestSimCommandParser)
#include "tst_sim_commandparser.moc"
