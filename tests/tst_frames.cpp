#include "WireBytes.h"
#include "FrameProtocol.h"
#include "LinkCommand.h"
#include "LoopbackController.h"
#include "WriteDataFrame.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QTest>
#include <QTime>

#include <functional>

using SendCall = std::function<void(WriteDataFrame&)>;
Q_DECLARE_METATYPE(SendCall)
using Values = QVector<double>;

namespace {

// Written behind the bytes under test: once it arrives, so has all before it.
const QByteArray kEndMarker = QByteArrayLiteral("<end>");

void EveryCommand(WriteDataFrame& encoder)
{
    encoder.SetThreshold(1, 1.5f);
    encoder.SetDisplaySwitch(1, 1);
    encoder.SetDetectorParameters(1, 2000, 450, 22);
    encoder.ChangeNodeId(1, 5);
    encoder.SetLanguage(1, 1);
    encoder.SetPrecision(1, 1);
    encoder.SetCalibrationCoefficients(1, 1.0, 1.0, 1.0);
    encoder.GetCalibrationCoefficients(1);
    encoder.SetDisplayUnit(1, 2);
    encoder.SetAlarmTest(1, 1);
    encoder.ChangeSlaveAddress(0, 1);
    encoder.PotentiometerDown(1, 10);
    encoder.PotentiometerUp(1, 10);
    encoder.SendFixedDoseFrame();
}

} // namespace

class TestFrames : public QObject
{
    Q_OBJECT

private slots:
    void commandBytesOnTheWire_data();
    void commandBytesOnTheWire();
    void nothingIsWrittenWithoutAnOpenSocket();
    void coefficientScaling_data();
    void coefficientScaling();
    void doseLine_data();
    void doseLine();
};

void TestFrames::commandBytesOnTheWire_data()
{
    QTest::addColumn<SendCall>("send");
    QTest::addColumn<QByteArray>("wire");
    // The command decoded from those bytes: none (code 0) for what is no command.
    QTest::addColumn<int>("code");
    QTest::addColumn<int>("target");
    QTest::addColumn<Values>("values");

    QTest::newRow("get coefficients, id 1")
        << SendCall([](WriteDataFrame& e) { e.GetCalibrationCoefficients(1); })
        << Hex("A4 08 00 00 00 00 FF 0D 01 0C FF")
        << 0x0D << 1 << Values {};
    QTest::newRow("threshold 1.5, id 1")
        << SendCall([](WriteDataFrame& e) { e.SetThreshold(1, 1.5f); })
        << Hex("A4 0C 00 00 00 00 FF 01 01 00 00 C0 3F FF FF")
        << 0x01 << 1 << Values { 1.5 };
    QTest::newRow("threshold 12.5, id 3")
        << SendCall([](WriteDataFrame& e) { e.SetThreshold(3, 12.5f); })
        << Hex("A4 0C 00 00 00 00 FF 01 03 00 00 48 41 0B FF")
        << 0x01 << 3 << Values { 12.5 };
    QTest::newRow("detector DT-B, id 1")
        << SendCall([](WriteDataFrame& e) { e.SetDetectorParameters(1, 2000, 450, 22); })
        << Hex("A4 0E 00 00 00 00 FF 03 01 07 D0 01 C2 00 16 00 FF")
        << 0x03 << 1 << Values { 2000, 450, 22 };
    QTest::newRow("detector DT-A, id 1")
        << SendCall([](WriteDataFrame& e) { e.SetDetectorParameters(1, 1000, 100, 4); })
        << Hex("A4 0E 00 00 00 00 FF 03 01 03 E8 00 64 00 04 89 FF")
        << 0x03 << 1 << Values { 1000, 100, 4 };
    QTest::newRow("coefficients 1.0 0.5 2.0, id 2")
        << SendCall([](WriteDataFrame& e) { e.SetCalibrationCoefficients(2, 1.0, 0.5, 2.0); })
        << Hex("A4 14 00 00 00 00 FF 0A 02 00 00 27 10 00 00 13 88 00 00 4E 20 CA FF")
        << 0x0A << 2 << Values { 1.0, 0.5, 2.0 };
    QTest::newRow("coefficient 0.57 truncates to 5699")
        << SendCall([](WriteDataFrame& e) { e.SetCalibrationCoefficients(1, 0.57, 1.0, 1.0); })
        << Hex("A4 14 00 00 00 00 FF 0A 01 00 00 16 43 00 00 27 10 00 00 27 10 5E FF")
        << 0x0A << 1 << Values { 0.5699, 1.0, 1.0 };
    QTest::newRow("negative coefficient, signed")
        << SendCall([](WriteDataFrame& e) { e.SetCalibrationCoefficients(1, -1.0, 0.0, 5.0); })
        << Hex("A4 14 00 00 00 00 FF 0A 01 FF FF D8 F0 00 00 00 00 00 00 C3 50 B0 FF")
        << 0x0A << 1 << Values { -1.0, 0.0, 5.0 };
    QTest::newRow("change id 1 to 5")
        << SendCall([](WriteDataFrame& e) { e.ChangeNodeId(1, 5); })
        << Hex("A4 09 00 00 00 00 FF 05 01 05 01 FF")
        << 0x05 << 1 << Values { 5 };
    QTest::newRow("potentiometer up 10, id 1")
        << SendCall([](WriteDataFrame& e) { e.PotentiometerUp(1, 10); })
        << Hex("A4 09 00 00 00 00 FF 2F 01 0A 24 FF")
        << 0x2F << 1 << Values { 10 };
    QTest::newRow("potentiometer down 300 keeps the low byte")
        << SendCall([](WriteDataFrame& e) { e.PotentiometerDown(1, 300); })
        << Hex("A4 09 00 00 00 00 FF 1F 01 2C 32 FF")
        << 0x1F << 1 << Values { 44 };
    QTest::newRow("display switch on, id 1")
        << SendCall([](WriteDataFrame& e) { e.SetDisplaySwitch(1, 1); })
        << Hex("A4 09 00 00 00 00 FF 02 01 01 02 FF")
        << 0x02 << 1 << Values { 1 };
    QTest::newRow("language, id 256 goes out as 0")
        << SendCall([](WriteDataFrame& e) { e.SetLanguage(256, 1); })
        << Hex("A4 09 00 00 00 00 FF 06 00 01 07 FF")
        << 0x06 << 0 << Values { 1 };
    QTest::newRow("precision three digits, id 4")
        << SendCall([](WriteDataFrame& e) { e.SetPrecision(4, 1); })
        << Hex("A4 09 00 00 00 00 FF 07 04 01 02 FF")
        << 0x07 << 4 << Values { 1 };
    QTest::newRow("display unit Sv, id 2")
        << SendCall([](WriteDataFrame& e) { e.SetDisplayUnit(2, 2); })
        << Hex("A4 09 00 00 00 00 FF 0E 02 02 0E FF")
        << 0x0E << 2 << Values { 2 };
    QTest::newRow("alarm test on, id 7")
        << SendCall([](WriteDataFrame& e) { e.SetAlarmTest(7, 1); })
        << Hex("A4 09 00 00 00 00 FF 0F 07 01 09 FF")
        << 0x0F << 7 << Values { 1 };
    QTest::newRow("slave address 0 to 99")
        << SendCall([](WriteDataFrame& e) { e.ChangeSlaveAddress(0, 99); })
        << Hex("A4 09 00 00 00 00 FF 11 00 63 72 FF")
        << 0x11 << 0 << Values { 99 };
    QTest::newRow("fixed dose frame, no envelope")
        << SendCall([](WriteDataFrame& e) { e.SendFixedDoseFrame(); })
        << Hex("FF 02 CC 00 59 00 00 0E 99")
        << 0 << 0 << Values {};
    QTest::newRow("envelope around a raw inner frame")
        << SendCall([](WriteDataFrame& e) { e.SendFrame("\x01\x02\x04", 3); })
        << Hex("A4 03 01 02 04 07")
        << 0 << 0 << Values {};
}

void TestFrames::commandBytesOnTheWire()
{
    QFETCH(SendCall, send);
    QFETCH(QByteArray, wire);
    QFETCH(int, code);
    QFETCH(int, target);
    QFETCH(Values, values);

    LoopbackController controller;
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, controller.Port());
    QVERIFY(socket.waitForConnected(5000));
    QVERIFY(controller.WaitForClient());

    WriteDataFrame encoder;
    encoder.SetSocket(&socket);
    QSignalSpy sent(&encoder, SIGNAL(CommandSent(int, int, QByteArray)));
    send(encoder);
    socket.write(kEndMarker);
    QCOMPARE(controller.TakeUntil(kEndMarker).toHex(' '), wire.toHex(' '));

    const LinkCommand decoded = LinkCommand::FromEnvelope(wire);
    QCOMPARE(int(decoded.Code()), code);
    QCOMPARE(int(decoded.Target()), target);
    QCOMPARE(decoded.Values(), values);
    QCOMPARE(sent.size(), code != 0 ? 1 : 0);
    if (code != 0)
        QCOMPARE(sent[0], (QList<QVariant> { code, target, wire }));
}

void TestFrames::nothingIsWrittenWithoutAnOpenSocket()
{
    WriteDataFrame detached;
    EveryCommand(detached); // no socket: must simply do nothing

    QTcpSocket unconnected;
    WriteDataFrame encoder;
    encoder.SetSocket(&unconnected);
    EveryCommand(encoder);
    QCOMPARE(unconnected.bytesToWrite(), qint64(0));

    LoopbackController controller;
    QTcpSocket closed;
    closed.connectToHost(QHostAddress::LocalHost, controller.Port());
    QVERIFY(closed.waitForConnected(5000));
    QVERIFY(controller.WaitForClient());
    closed.close();
    encoder.SetSocket(&closed);
    EveryCommand(encoder);
    // Nothing may wait in the socket for its next connection either.
    closed.connectToHost(QHostAddress::LocalHost, controller.Port());
    QVERIFY(closed.waitForConnected(5000));
    closed.write(kEndMarker);
    QCOMPARE(controller.TakeUntil(kEndMarker), QByteArray());
}

void TestFrames::coefficientScaling_data()
{
    QTest::addColumn<double>("coefficient");
    QTest::addColumn<int>("wire");
    QTest::newRow("0.57 truncates") << 0.57 << 5699;
    QTest::newRow("one") << 1.0 << 10000;
    QTest::newRow("smallest field value") << 0.0001 << 1;
    QTest::newRow("largest field value") << 5.0 << 50000;
    QTest::newRow("negative toward zero") << -0.57 << -5699;
    QTest::newRow("not a number") << qQNaN() << 0;
}

void TestFrames::coefficientScaling()
{
    QFETCH(double, coefficient);
    QFETCH(int, wire);
    QCOMPARE(FrameProtocol::ScaleCoefficient(coefficient), qint32(wire));
}

void TestFrames::doseLine_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("tag");
    QTest::addColumn<QString>("line");
    QTest::newRow("fixed frame") << 89 << 14 << 204 << "89.   09:03:07.    0.0784   count: 204";
    QTest::newRow("count 0") << 1 << 0 << 0 << "1.   09:03:07.    0.0000   count: 0";
    QTest::newRow("count 16") << 2 << 16 << 1 << "2.   09:03:07.    0.0896   count: 1";
    QTest::newRow("count 1000") << 3 << 1000 << 7 << "3.   09:03:07.    5.6000   count: 7";
    QTest::newRow("largest count") << 65535 << 0xFFFFFF << 255 << "65535.   09:03:07.    93952.4040   count: 255";
}

void TestFrames::doseLine()
{
    QFETCH(int, id);
    QFETCH(int, count);
    QFETCH(int, tag);
    QFETCH(QString, line);
    QCOMPARE(FrameProtocol::FormatDoseLine(id, count, tag, QTime(9, 3, 7)), line);
}

QTEST_GUILESS_MAIN(TestFrames)
#include "tst_frames.moc"
