#include "WireBytes.h"
#include "ControllerServer.h"
#include "DoseModel.h"
#include "GarbageSource.h"
#include "NodeBank.h"
#include "PDataBuffer.h"
#include "PSliceDecoder.h"
#include "SimLog.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QStringList>
#include <QTcpSocket>
#include <QTest>

#include <memory>

namespace {

const char* const kThresholdId1 = "A4 0C 00 00 00 00 FF 01 01 00 00 C0 3F FF FF";
const char* const kCoefficientReadId1 = "A4 08 00 00 00 00 FF 0D 01 0C FF";
const char* const kUnitSvId2 = "A4 09 00 00 00 00 FF 0E 02 02 0E FF";
const char* const kDoseRequest = "FF 02 CC 00 59 00 00 0E 99";

// A controller on a free port with nodes 1 and 2 in a field of zero dose.
struct Controller {
    explicit Controller(ControllerServer::Settings settings = {}, double rate = 0.0)
        : log(true)
        , model(rate, 1.2, 5)
        , bank({ 1, 2 }, &model, &log)
    {
        settings.port = 0;
        server = std::make_unique<ControllerServer>(settings, &bank, &log);
        QString error;
        listening = server->Listen(error);
    }

    std::unique_ptr<QTcpSocket> Connect()
    {
        auto socket = std::make_unique<QTcpSocket>();
        socket->connectToHost(QHostAddress::LocalHost, server->Port());
        if (!socket->waitForConnected(5000))
            return nullptr;
        const int clients = server->ClientCount() + 1;
        if (!QTest::qWaitFor([&] { return server->ClientCount() == clients; }, 5000))
            return nullptr;
        return socket;
    }

    SimLog log;
    DoseModel model;
    NodeBank bank;
    std::unique_ptr<ControllerServer> server;
    bool listening = false;
};

// The console's own decoder, to show the sim's output is what it can read.
class ConsoleDecoder : public PSliceDecoder::Sink
{
public:
    ConsoleDecoder()
        : m_decoder(&m_buffer)
    {
        m_buffer.Init(1, 1 << 16);
        m_decoder.SetSink(this);
    }
    void Feed(const QByteArray& bytes)
    {
        m_buffer.Write(bytes.constData(), quint32(bytes.size()));
        m_decoder.Drain();
    }
    int CalibrationId() override { return 1; }
    void Acknowledged(int id, int y, int x) override { events << QStringLiteral("ack %1 %2 %3").arg(id).arg(y).arg(x); }
    void DoseCounted(int id, int count, int tag) override
    {
        events << QStringLiteral("dose %1 %2 %3").arg(id).arg(count).arg(tag);
    }
    void CoefficientsRead(double c1, double c2, double c3) override
    {
        events << QStringLiteral("coef %1 %2 %3").arg(c1).arg(c2).arg(c3);
    }

    QStringList events;

private:
    PDataBuffer m_buffer;
    PSliceDecoder m_decoder;
};

} // namespace

class TestSimServer : public QObject
{
    Q_OBJECT

private slots:
    void answersGoToTheClientThatAsked();
    void malformedInputIsSkippedAndTheNextCommandAnswered();
    void garbageRunsAreShortOfMarkersAndLongEnough();
    void consoleDecoderReadsEveryReplyThroughGarbage();
    void consoleDecoderPassesOverTheCoefficientCheckByte();
    void dropAfterClosesTheConnection();
    void floodSendsValidDoseFramesAndCountsThem();
};

void TestSimServer::answersGoToTheClientThatAsked()
{
    Controller controller;
    QVERIFY(controller.listening);
    auto first = controller.Connect();
    auto second = controller.Connect();
    QVERIFY(first && second);

    first->write(Hex(kThresholdId1));
    QCOMPARE(ReadAtLeast(*first, 7).toHex(' '), Hex("FF 01 01 00 00 01 00").toHex(' '));
    second->write(Hex(kDoseRequest));
    QCOMPARE(ReadAtLeast(*second, 18).toHex(' '),
             Hex("FF 02 00 00 01 00 00 00 03 FF 02 00 00 02 00 00 00 00").toHex(' '));
    first->write(Hex(kThresholdId1)); // an answer to the dose request would come before this one
    QCOMPARE(ReadAtLeast(*first, 7).toHex(' '), Hex("FF 01 01 00 00 01 00").toHex(' '));
    QCOMPARE(controller.server->DoseFramesSent(), 2u);
}

void TestSimServer::malformedInputIsSkippedAndTheNextCommandAnswered()
{
    Controller controller;
    auto client = controller.Connect();
    QVERIFY(client);
    client->write(Hex("00 A4 33 FF FF 12 A4 09 00 00 00 00 FF 0E 02 02 0E 00"));
    client->write(Hex(kUnitSvId2).left(5));
    client->flush();
    QTest::qWait(20); // the subject: the command arrives in two reads
    client->write(Hex(kUnitSvId2).mid(5));
    QCOMPARE(ReadAtLeast(*client, 7).toHex(' '), Hex("FF 01 02 00 02 0E 00").toHex(' '));
}

void TestSimServer::garbageRunsAreShortOfMarkersAndLongEnough()
{
    GarbageSource never(0.0, 1), always(1.0, 2);
    for (int i = 0; i < 2000; ++i) {
        QCOMPARE(never.Maybe(), QByteArray());
        const QByteArray run = always.Maybe();
        QVERIFY(run.size() >= 6 && run.size() <= 16);
        QVERIFY(!run.contains(char(0xFF)));
        QVERIFY(!run.contains(char(0x0D)));
    }
}

// Noise before every frame: the console still reads every reply, the
// coefficient reply included, whichever way TCP cuts the stream.
void TestSimServer::consoleDecoderReadsEveryReplyThroughGarbage()
{
    ControllerServer::Settings settings;
    settings.faults.garbage = 1.0;
    Controller controller(settings);
    auto client = controller.Connect();
    QVERIFY(client);
    const QByteArray round = Hex(kThresholdId1) + Hex(kCoefficientReadId1) + Hex(kDoseRequest) + Hex(kUnitSvId2);
    const QStringList roundEvents { "ack 1 0 1", "coef 1 1 1", "dose 1 0 0", "dose 2 0 0", "ack 2 2 14" };
    const int rounds = 200;
    QStringList expected;
    for (int i = 0; i < rounds; ++i) {
        client->write(round);
        expected += roundEvents;
    }
    const int replyBytes = rounds * (7 + 19 + 9 + 9 + 7);
    const QByteArray stream = ReadAtLeast(*client, replyBytes + rounds * 4 * 6);
    QVERIFY(stream.size() > replyBytes);

    QRandomGenerator random(3);
    ConsoleDecoder console;
    for (int at = 0; at < stream.size();) {
        const int chunk = 1 + random.bounded(280);
        console.Feed(stream.mid(at, chunk));
        at += chunk;
    }
    QCOMPARE(console.events.size(), expected.size());
    QCOMPARE(console.events, expected);
}

// With default coefficients node 1's check byte is 0x0D ^ 0x01 ^ 0x37.
void TestSimServer::consoleDecoderPassesOverTheCoefficientCheckByte()
{
    SimLog log(true);
    DoseModel model(0.0, 1.2, 5);
    NodeBank bank({ 1, 2 }, &model, &log);
    bank.SetCoefficientCheck(true);
    ControllerServer::Settings settings;
    settings.port = 0;
    ControllerServer server(settings, &bank, &log);
    QString error;
    QVERIFY(server.Listen(error));
    QTcpSocket client;
    client.connectToHost(QHostAddress::LocalHost, server.Port());
    QVERIFY(client.waitForConnected(5000));
    client.write(Hex(kCoefficientReadId1) + Hex(kThresholdId1));
    const QByteArray stream = ReadAtLeast(client, 20 + 7);
    QCOMPARE(stream.mid(19).toHex(' '), Hex("3B FF 01 01 00 00 01 00").toHex(' '));
    ConsoleDecoder console;
    console.Feed(stream);
    QCOMPARE(console.events, (QStringList { "coef 1 1 1", "ack 1 0 1" }));
}

void TestSimServer::dropAfterClosesTheConnection()
{
    ControllerServer::Settings settings;
    settings.faults.dropAfterMs = 100;
    Controller controller(settings);
    auto client = controller.Connect();
    QVERIFY(client);
    QSignalSpy disconnected(client.get(), SIGNAL(disconnected()));
    QVERIFY(disconnected.wait(5000));
    QVERIFY(QTest::qWaitFor([&] { return controller.server->ClientCount() == 0; }, 5000));
    auto again = controller.Connect(); // the server itself keeps listening
    QVERIFY(again);
}

void TestSimServer::floodSendsValidDoseFramesAndCountsThem()
{
    ControllerServer::Settings settings;
    settings.floodRate = 5000.0;
    Controller controller(settings, 0.09);
    auto client = controller.Connect();
    QVERIFY(client);
    const int frames = 300;
    const QByteArray stream = ReadAtLeast(*client, frames * 9);
    QVERIFY(stream.size() >= frames * 9);
    for (int i = 0; i < frames; ++i) {
        const QByteArray frame = stream.mid(9 * i, 9);
        QCOMPARE(frame.left(4).toHex(' '), Hex("FF 02 00 00").toHex(' '));
        QCOMPARE(int(quint8(frame[4])), 1 + i % 2);
        char check = 0;
        for (int k = 1; k < 8; ++k)
            check ^= frame[k];
        QCOMPARE(check, frame[8]);
    }
    QVERIFY(controller.server->DoseFramesSent() >= quint64(stream.size() / 9));
}

QTEST_GUILESS_MAIN(TestSimServer)
#include "tst_sim_server.moc"
