#include "WireBytes.h"
#include "CommandFrame.h"
#include "DoseModel.h"
#include "NodeBank.h"
#include "NodeSchedule.h"

#include <QTest>

namespace {

CommandFrame Frame(quint8 code, quint8 target, const char* payload = "")
{
    return CommandFrame::Enveloped(code, target, Hex(payload));
}

// Nodes 1 to 3 in a field of zero dose, so every count is 0.
struct Bank {
    explicit Bank(QList<quint8> ids = { 1, 2, 3 }, double rate = 0.0)
        : model(rate, 1.2, 1)
        , bank(ids, &model)
    {
    }
    QByteArray Send(const CommandFrame& command) { return bank.Handle(command).frames.join(); }
    int FrameCount(const CommandFrame& command) { return bank.Handle(command).frames.size(); }

    DoseModel model;
    NodeBank bank;
};

} // namespace

class TestSimNodes : public QObject
{
    Q_OBJECT

private slots:
    void answersEachCommand_data();
    void answersEachCommand();
    void staysSilentForNodesItDoesNotModel_data();
    void staysSilentForNodesItDoesNotModel();
    void nodeIdChangeAnswersFromTheNewId();
    void nodeIdChangeToATakenIdIsRefused();
    void slaveAddressChangeIsSilentAndTakesEffect();
    void coefficientsAreStoredAndReadBack();
    void coefficientCheckByteFollowsTheReplyUnlessItIsFF();
    void unknownUnitLeavesTheUnitInForce();
    void potentiometerStepsMoveTheGainWithinItsEnds();
    void doseRequestIsAnsweredByEveryNodeInTurn();
    void floodFramesGoRoundTheNodes();
    void parsesNodeLists_data();
    void parsesNodeLists();
    void silencedNodeAnswersNothingUntilItComesBack();
    void stepChangesTheNodesRateAtItsTime();
    void parsesScheduleOptions_data();
    void parsesScheduleOptions();
};

void TestSimNodes::answersEachCommand_data()
{
    QTest::addColumn<quint8>("code");
    QTest::addColumn<quint8>("target");
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("threshold") << quint8(0x01) << quint8(1) << Hex("00 00 C0 3F") << Hex("FF 01 01 00 00 01 00");
    QTest::newRow("display switch") << quint8(0x02) << quint8(2) << Hex("01") << Hex("FF 01 02 00 00 02 00");
    QTest::newRow("detector parameters") << quint8(0x03) << quint8(3) << Hex("19 C8 02 BC 00 3D")
                                         << Hex("FF 01 03 00 00 03 00");
    QTest::newRow("language") << quint8(0x06) << quint8(1) << Hex("01") << Hex("FF 01 01 00 00 06 00");
    QTest::newRow("precision") << quint8(0x07) << quint8(1) << Hex("01") << Hex("FF 01 01 00 00 07 00");
    QTest::newRow("coefficients written") << quint8(0x0A) << quint8(2) << Hex("00 00 27 10 00 00 13 88 00 00 4E 20")
                                          << Hex("FF 01 02 00 00 0A 00");
    QTest::newRow("coefficients read, defaults")
        << quint8(0x0D) << quint8(3) << QByteArray()
        << Hex("00 00 00 00 FF 0D 03 00 00 27 10 00 00 27 10 00 00 27 10");
    QTest::newRow("unit Gy") << quint8(0x0E) << quint8(1) << Hex("00") << Hex("FF 01 01 00 00 0E 00");
    QTest::newRow("unit Rad") << quint8(0x0E) << quint8(1) << Hex("01") << Hex("FF 01 01 00 01 0E 00");
    QTest::newRow("unit Sv") << quint8(0x0E) << quint8(1) << Hex("02") << Hex("FF 01 01 00 02 0E 00");
    QTest::newRow("alarm test on") << quint8(0x0F) << quint8(2) << Hex("01") << Hex("FF 01 02 00 01 0F 00");
    QTest::newRow("alarm test off") << quint8(0x0F) << quint8(2) << Hex("00") << Hex("FF 01 02 00 00 0F 00");
    QTest::newRow("alarm test, odd value") << quint8(0x0F) << quint8(2) << Hex("02") << Hex("FF 01 02 00 00 0F 00");
    QTest::newRow("potentiometer down") << quint8(0x1F) << quint8(3) << Hex("0A") << Hex("FF 01 03 00 00 0C 00");
    QTest::newRow("potentiometer up") << quint8(0x2F) << quint8(3) << Hex("0A") << Hex("FF 01 03 00 00 0B 00");
    QTest::newRow("slave address: no reply") << quint8(0x11) << quint8(2) << Hex("09") << QByteArray();
}

void TestSimNodes::answersEachCommand()
{
    QFETCH(quint8, code);
    QFETCH(quint8, target);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, reply);
    Bank bank;
    QCOMPARE(bank.Send(CommandFrame::Enveloped(code, target, payload)).toHex(' '), reply.toHex(' '));
}

void TestSimNodes::staysSilentForNodesItDoesNotModel_data()
{
    QTest::addColumn<quint8>("code");
    QTest::addColumn<QByteArray>("payload");
    QTest::newRow("threshold") << quint8(0x01) << Hex("00 00 C0 3F");
    QTest::newRow("node id") << quint8(0x05) << Hex("06");
    QTest::newRow("coefficients read") << quint8(0x0D) << QByteArray();
    QTest::newRow("slave address") << quint8(0x11) << Hex("06");
    QTest::newRow("potentiometer up") << quint8(0x2F) << Hex("01");
}

void TestSimNodes::staysSilentForNodesItDoesNotModel()
{
    QFETCH(quint8, code);
    QFETCH(QByteArray, payload);
    Bank bank;
    const NodeBank::Result result = bank.bank.Handle(CommandFrame::Enveloped(code, 9, payload));
    QVERIFY(result.frames.isEmpty());
    QVERIFY(result.note.contains(QLatin1String("no such")));
    QVERIFY(!bank.bank.NodeById(6));
}

void TestSimNodes::nodeIdChangeAnswersFromTheNewId()
{
    Bank bank;
    QCOMPARE(bank.Send(Frame(0x05, 1, "05")).toHex(' '), Hex("FF 01 05 00 00 05 00").toHex(' '));
    QCOMPARE(bank.FrameCount(Frame(0x06, 1, "00")), 0);
    QCOMPARE(bank.Send(Frame(0x06, 5, "00")).toHex(' '), Hex("FF 01 05 00 00 06 00").toHex(' '));
    QCOMPARE(bank.bank.NodeById(5)->SlaveAddress(), quint8(1)); // the address stays
}

void TestSimNodes::nodeIdChangeToATakenIdIsRefused()
{
    Bank bank;
    QCOMPARE(bank.FrameCount(Frame(0x05, 1, "02")), 0);
    QCOMPARE(bank.FrameCount(Frame(0x05, 1, "00")), 0);
    QCOMPARE(bank.Send(Frame(0x06, 1, "00")).toHex(' '), Hex("FF 01 01 00 00 06 00").toHex(' '));
    QCOMPARE(bank.Send(Frame(0x05, 1, "01")).toHex(' '), Hex("FF 01 01 00 00 05 00").toHex(' ')); // its own id
}

void TestSimNodes::slaveAddressChangeIsSilentAndTakesEffect()
{
    Bank bank;
    QCOMPARE(bank.FrameCount(Frame(0x11, 3, "07")), 0);
    QVERIFY(!bank.bank.NodeByAddress(3));
    QCOMPARE(bank.bank.NodeByAddress(7)->Id(), quint8(3));

    QCOMPARE(bank.FrameCount(Frame(0x11, 7, "01")), 0); // address 1 is node 1's
    QCOMPARE(bank.bank.NodeByAddress(7)->Id(), quint8(3));
    QCOMPARE(bank.bank.NodeByAddress(1)->Id(), quint8(1));
}

// -1.0, 0.5699 and 5.0 as they travel: FF FF D8 F0, 00 00 16 43, 00 00 C3 50.
void TestSimNodes::coefficientsAreStoredAndReadBack()
{
    Bank bank;
    QCOMPARE(bank.Send(Frame(0x0A, 2, "FF FF D8 F0 00 00 16 43 00 00 C3 50")).toHex(' '),
             Hex("FF 01 02 00 00 0A 00").toHex(' '));
    QCOMPARE(bank.Send(Frame(0x0D, 2)).toHex(' '),
             Hex("00 00 00 00 FF 0D 02 FF FF D8 F0 00 00 16 43 00 00 C3 50").toHex(' '));
    QCOMPARE(bank.Send(Frame(0x0D, 1)).toHex(' '),
             Hex("00 00 00 00 FF 0D 01 00 00 27 10 00 00 27 10 00 00 27 10").toHex(' '));
}

// Defaults give 0x0D ^ id ^ 27 10 27 10 27 10 = id ^ 0x3A: node 3 sends
// 0x39, node 197 would send 0xFF and sends nothing after its reply.
void TestSimNodes::coefficientCheckByteFollowsTheReplyUnlessItIsFF()
{
    Bank bank({ 3, 197 });
    bank.bank.SetCoefficientCheck(true);
    QCOMPARE(bank.Send(Frame(0x0D, 3)).toHex(' '),
             Hex("00 00 00 00 FF 0D 03 00 00 27 10 00 00 27 10 00 00 27 10 39").toHex(' '));
    QCOMPARE(bank.Send(Frame(0x0D, 197)).toHex(' '),
             Hex("00 00 00 00 FF 0D C5 00 00 27 10 00 00 27 10 00 00 27 10").toHex(' '));
}

void TestSimNodes::unknownUnitLeavesTheUnitInForce()
{
    Bank bank;
    bank.Send(Frame(0x0E, 1, "01"));
    QCOMPARE(bank.Send(Frame(0x0E, 1, "07")).toHex(' '), Hex("FF 01 01 00 01 0E 00").toHex(' '));
    QCOMPARE(bank.bank.NodeById(1)->Unit(), quint8(1));
}

void TestSimNodes::potentiometerStepsMoveTheGainWithinItsEnds()
{
    Bank bank;
    const DetectorNode* node = bank.bank.NodeById(1);
    QCOMPARE(node->GainFactor(), 1.0);
    bank.Send(Frame(0x2F, 1, "0A"));
    QVERIFY(qFuzzyCompare(node->GainFactor(), 1.10));
    bank.Send(Frame(0x1F, 1, "1E"));
    QVERIFY(qFuzzyCompare(node->GainFactor(), 0.80));
    bank.Send(Frame(0x2F, 1, "FF")); // the wiper stops at 127
    QVERIFY(qFuzzyCompare(node->GainFactor(), 1.63));
    bank.Send(Frame(0x1F, 1, "FF")); // and at 0
    QVERIFY(qFuzzyCompare(node->GainFactor(), 0.36));
    QCOMPARE(bank.bank.NodeById(2)->GainFactor(), 1.0);
}

void TestSimNodes::doseRequestIsAnsweredByEveryNodeInTurn()
{
    Bank quiet({ 1, 2, 40 });
    QCOMPARE(quiet.Send(CommandFrame::DoseRequest()).toHex(' '),
             Hex("FF 02 00 00 01 00 00 00 03 FF 02 00 00 02 00 00 00 00 FF 02 00 00 28 00 00 00 2A").toHex(' '));
    // Far beyond 24 bits the count stops at FF FF FF.
    Bank hot({ 1 }, 1.0e7);
    QCOMPARE(hot.Send(CommandFrame::DoseRequest()).toHex(' '), Hex("FF 02 00 00 01 FF FF FF FC").toHex(' '));
}

void TestSimNodes::floodFramesGoRoundTheNodes()
{
    Bank bank({ 4, 9 });
    QByteArray frames;
    for (int i = 0; i < 3; ++i)
        frames += bank.bank.NextFloodFrame();
    QCOMPARE(frames.toHex(' '),
             Hex("FF 02 00 00 04 00 00 00 06 FF 02 00 00 09 00 00 00 0B FF 02 00 00 04 00 00 00 06").toHex(' '));
}

void TestSimNodes::parsesNodeLists_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<QList<quint8>>("ids");
    QTest::newRow("range") << "1-4" << true << QList<quint8> { 1, 2, 3, 4 };
    QTest::newRow("list") << "1,3,5" << true << QList<quint8> { 1, 3, 5 };
    QTest::newRow("mixed") << "7,2-3,255" << true << QList<quint8> { 7, 2, 3, 255 };
    QTest::newRow("id 0") << "0-2" << false << QList<quint8> {};
    QTest::newRow("id 256") << "256" << false << QList<quint8> {};
    QTest::newRow("backward range") << "5-3" << false << QList<quint8> {};
    QTest::newRow("twice") << "1-3,2" << false << QList<quint8> {};
    QTest::newRow("empty part") << "1,,2" << false << QList<quint8> {};
    QTest::newRow("word") << "all" << false << QList<quint8> {};
}

void TestSimNodes::parsesNodeLists()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(QList<quint8>, ids);
    QList<quint8> parsed;
    QString error;
    QCOMPARE(NodeBank::ParseIds(text, parsed, error), valid);
    if (valid)
        QCOMPARE(parsed, ids);
    else
        QVERIFY(!error.isEmpty());
}

void TestSimNodes::silencedNodeAnswersNothingUntilItComesBack()
{
    Bank bank({ 1, 2 });
    NodeSchedule schedule;
    QString error;
    QVERIFY(schedule.AddSilence("2:10:5", error));
    qint64 now = 9999;
    bank.bank.SetSchedule(&schedule, [&] { return now; });
    QCOMPARE(bank.FrameCount(CommandFrame::DoseRequest()), 2);
    now = 10000;
    QCOMPARE(bank.Send(CommandFrame::DoseRequest()).toHex(' '), Hex("FF 02 00 00 01 00 00 00 03").toHex(' '));
    QCOMPARE(bank.FrameCount(Frame(0x06, 2, "00")), 0);
    QCOMPARE(bank.FrameCount(Frame(0x06, 1, "00")), 1);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(quint8(bank.bank.NextFloodFrame().at(4)), quint8(1));
    now = 14999;
    QCOMPARE(bank.FrameCount(CommandFrame::DoseRequest()), 1);
    now = 15000;
    QCOMPARE(bank.FrameCount(CommandFrame::DoseRequest()), 2);
}

// A field of zero dose, and a step to a rate far beyond what 24 bits count.
void TestSimNodes::stepChangesTheNodesRateAtItsTime()
{
    Bank bank({ 1, 2 });
    NodeSchedule schedule;
    QString error;
    QVERIFY(schedule.AddStep("1:5:1e7", error));
    QVERIFY(schedule.AddStep("1:7.5:0", error));
    qint64 now = 4999;
    bank.bank.SetSchedule(&schedule, [&] { return now; });
    const QByteArray quiet = Hex("FF 02 00 00 01 00 00 00 03 FF 02 00 00 02 00 00 00 00");
    QCOMPARE(bank.Send(CommandFrame::DoseRequest()).toHex(' '), quiet.toHex(' '));
    now = 5000;
    QCOMPARE(bank.Send(CommandFrame::DoseRequest()).toHex(' '),
             Hex("FF 02 00 00 01 FF FF FF FC FF 02 00 00 02 00 00 00 00").toHex(' '));
    now = 7500;
    QCOMPARE(bank.Send(CommandFrame::DoseRequest()).toHex(' '), quiet.toHex(' '));
}

void TestSimNodes::parsesScheduleOptions_data()
{
    QTest::addColumn<bool>("silence"); // else a step
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::newRow("silence") << true << "8:10:30" << true;
    QTest::newRow("silence, fractions") << true << "8:0.5:1.5" << true;
    QTest::newRow("silence of no length") << true << "8:10:0" << false;
    QTest::newRow("silence, id 0") << true << "0:10:30" << false;
    QTest::newRow("silence, id 256") << true << "256:10:30" << false;
    QTest::newRow("silence, negative start") << true << "8:-1:30" << false;
    QTest::newRow("silence, two fields") << true << "8:10" << false;
    QTest::newRow("step") << false << "3:20:2.5" << true;
    QTest::newRow("step to zero") << false << "3:20:0" << true;
    QTest::newRow("step, negative rate") << false << "3:20:-1" << false;
    QTest::newRow("step, word") << false << "3:soon:2" << false;
    QTest::newRow("step, four fields") << false << "3:20:2:1" << false;
}

void TestSimNodes::parsesScheduleOptions()
{
    QFETCH(bool, silence);
    QFETCH(QString, text);
    QFETCH(bool, valid);
    NodeSchedule schedule;
    QString error;
    QCOMPARE(silence ? schedule.AddSilence(text, error) : schedule.AddStep(text, error), valid);
    QCOMPARE(error.isEmpty(), valid);
    QCOMPARE(schedule.Ids().size(), valid ? 1 : 0);
}

QTEST_GUILESS_MAIN(TestSimNodes)
#include "tst_sim_nodes.moc"
