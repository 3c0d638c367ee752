#include "WireBytes.h"
#include "WindowRig.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QTest>

#include <functional>

using Setup = std::function<void(WindowRig&)>;
Q_DECLARE_METATYPE(Setup)

namespace {

Setup Spin(const char* box, int value)
{
    return [=](WindowRig& rig) { rig.Find<QSpinBox>(box)->setValue(value); };
}

Setup Then(Setup first, Setup second)
{
    return [=](WindowRig& rig) {
        first(rig);
        second(rig);
    };
}

Setup Check(const char* box, bool on)
{
    return [=](WindowRig& rig) { rig.Find<QCheckBox>(box)->setChecked(on); };
}

Setup Pick(const char* combo, int index)
{
    return [=](WindowRig& rig) { rig.Find<QComboBox>(combo)->setCurrentIndex(index); };
}

const char* const kEveryCommandButton[] = {
    "m_pPushButton_thr", "m_pPushButton_switch", "m_pPushButton_parameter", "m_pPushButton_changed_id",
    "m_pPushButton_changed_lan", "m_pPushButton_uint", "m_pPushButton_precision", "m_pPushButton_changed_alarm",
    "m_pPushButton_address", "m_potentiometer_up", "m_potentiometer_down", "m_potentiometer_set",
    "m_pGetCalibrationBtn", "m_pSetCalibrationBtn",
};

const char* const kIdBoxesFollowingAChange[] = {
    "m_pSpinBox_thr_id", "m_pSpinBox_calib_id", "m_pSpinBox_switch_id", "m_pSpinBox_p_id", "m_pSpinBox_lan_id",
    "m_pSpinBox_precision_id", "m_pSpinBox_u_id", "id_for_potentiometer", "m_pSpinBox_alarm_id",
};

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void buttonPutsItsCommandOnTheWire_data();
    void buttonPutsItsCommandOnTheWire();
    void nothingGoesOutWhileUnconnected();
    void portOutOfRangeReachesNothing();
    void idChangeIsCopiedToTheOtherGroups();
    void checkBoxesOnlyRelabel_data();
    void checkBoxesOnlyRelabel();
};

void TestSettings::buttonPutsItsCommandOnTheWire_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("wire");
    const Setup none = [](WindowRig&) {};

    QTest::newRow("threshold 12.5 for id 3")
        << Then(Spin("m_pSpinBox_thr_id", 3), [](WindowRig& r) { r.Find<QDoubleSpinBox>("m_pSpinBox_thr")->setValue(12.5); })
        << "m_pPushButton_thr" << Hex("A4 0C 00 00 00 00 FF 01 03 00 00 48 41 0B FF");
    QTest::newRow("switches on")
        << Check("m_pCheckBox_on", true) << "m_pPushButton_switch" << Hex("A4 09 00 00 00 00 FF 02 01 01 02 FF");
    QTest::newRow("switches off")
        << none << "m_pPushButton_switch" << Hex("A4 09 00 00 00 00 FF 02 01 00 03 FF");
    QTest::newRow("detector DT-B")
        << none << "m_pPushButton_parameter" << Hex("A4 0E 00 00 00 00 FF 03 01 07 D0 01 C2 00 16 00 FF");
    QTest::newRow("detector DT-C for id 2")
        << Then(Pick("m_pComboBox_type", 1), Spin("m_pSpinBox_p_id", 2))
        << "m_pPushButton_parameter" << Hex("A4 0E 00 00 00 00 FF 03 02 19 C8 02 BC 00 3D 53 FF");
    QTest::newRow("detector DT-D")
        << Pick("m_pComboBox_type", 2) << "m_pPushButton_parameter" << Hex("A4 0E 00 00 00 00 FF 03 01 1F A4 00 D2 00 0B 60 FF");
    QTest::newRow("detector DT-A is the last entry")
        << Pick("m_pComboBox_type", 3) << "m_pPushButton_parameter" << Hex("A4 0E 00 00 00 00 FF 03 01 03 E8 00 64 00 04 89 FF");
    QTest::newRow("node id 1 to 200")
        << Spin("m_pSpinBox_new_id", 200) << "m_pPushButton_changed_id" << Hex("A4 09 00 00 00 00 FF 05 01 C8 CC FF");
    QTest::newRow("language English for id 4")
        << Then(Check("m_pCheckBox_lan", true), Spin("m_pSpinBox_lan_id", 4))
        << "m_pPushButton_changed_lan" << Hex("A4 09 00 00 00 00 FF 06 04 01 03 FF");
    QTest::newRow("language Chinese")
        << none << "m_pPushButton_changed_lan" << Hex("A4 09 00 00 00 00 FF 06 01 00 07 FF");
    QTest::newRow("unit Rad")
        << Pick("m_pComboBox_unit", 1) << "m_pPushButton_uint" << Hex("A4 09 00 00 00 00 FF 0E 01 01 0E FF");
    QTest::newRow("three digit precision")
        << Pick("m_pComboBox_precision", 1) << "m_pPushButton_precision" << Hex("A4 09 00 00 00 00 FF 07 01 01 07 FF");
    QTest::newRow("alarm test on for id 9")
        << Then(Check("m_pCheckBox_alarm", true), Spin("m_pSpinBox_alarm_id", 9))
        << "m_pPushButton_changed_alarm" << Hex("A4 09 00 00 00 00 FF 0F 09 01 07 FF");
    QTest::newRow("slave address 5 to 7")
        << Then(Spin("m_pSpinBox_address", 5), Spin("m_pSpinBox_new_address", 7))
        << "m_pPushButton_address" << Hex("A4 09 00 00 00 00 FF 11 05 07 13 FF");
    QTest::newRow("button captioned down sends the up command")
        << none << "m_potentiometer_up" << Hex("A4 09 00 00 00 00 FF 2F 01 0A 24 FF");
    QTest::newRow("button captioned up sends the down command")
        << none << "m_potentiometer_down" << Hex("A4 09 00 00 00 00 FF 1F 01 0A 14 FF");
    QTest::newRow("set caps 64 steps at 32")
        << Spin("n_SpinBox_potentiometer", 64) << "m_potentiometer_set" << Hex("A4 09 00 00 00 00 FF 2F 01 20 0E FF");
    QTest::newRow("set sends 5 steps as they are")
        << Spin("n_SpinBox_potentiometer", 5) << "m_potentiometer_set" << Hex("A4 09 00 00 00 00 FF 2F 01 05 2B FF");
    QTest::newRow("set sends 0 steps")
        << Spin("n_SpinBox_potentiometer", 0) << "m_potentiometer_set" << Hex("A4 09 00 00 00 00 FF 2F 01 00 2E FF");
    QTest::newRow("get coefficients")
        << none << "m_pGetCalibrationBtn" << Hex("A4 08 00 00 00 00 FF 0D 01 0C FF");
    QTest::newRow("set default coefficients")
        << none << "m_pSetCalibrationBtn" << Hex("A4 14 00 00 00 00 FF 0A 01 00 00 27 10 00 00 27 10 00 00 27 10 3C FF");
    QTest::newRow("set coefficient 1.25")
        << Setup([](WindowRig& r) { r.Find<QDoubleSpinBox>("doubleSpinBox_calib_1")->setValue(1.25); })
        << "m_pSetCalibrationBtn" << Hex("A4 14 00 00 00 00 FF 0A 01 00 00 30 D4 00 00 27 10 00 00 27 10 EF FF");
}

void TestSettings::buttonPutsItsCommandOnTheWire()
{
    QFETCH(Setup, setup);
    QFETCH(QString, button);
    QFETCH(QByteArray, wire);
    WindowRig rig;
    QVERIFY(rig.Connect());
    setup(rig);
    rig.Click(qPrintable(button));
    QCOMPARE(rig.Wire().toHex(' '), wire.toHex(' '));
}

// A command pressed before the link is up must not wait in the socket and
// go out with the next connection.
void TestSettings::nothingGoesOutWhileUnconnected()
{
    WindowRig rig;
    for (const char* button : kEveryCommandButton)
        rig.Click(button);
    QVERIFY(rig.Connect());
    QCOMPARE(rig.Wire(), QByteArray());
}

// Above 65535 or negative, with the controller's port in its low 16 bits:
// taken as port 0, the attempt fails and the cycle goes on, so the next one
// reaches the port typed meanwhile, and nothing before it.
void TestSettings::portOutOfRangeReachesNothing()
{
    for (const int offset : { 0x10000, -0x10000 }) {
        WindowRig rig;
        LoopbackController other;
        rig.SetText("m_pLineEdit_ip", QStringLiteral("127.0.0.1"));
        rig.SetText("m_pLineEdit_port", QString::number(rig.controller.Port() + offset));
        rig.Click("m_pPushButton_connect");
        rig.SetText("m_pLineEdit_port", QString::number(other.Port()));
        QVERIFY(other.WaitForClient());
        QCOMPARE(rig.controller.Connections(), 0);
    }
}

void TestSettings::idChangeIsCopiedToTheOtherGroups()
{
    WindowRig rig;
    rig.Find<QSpinBox>("m_pSpinBox_new_id")->setValue(200);
    rig.Click("m_pPushButton_changed_id");
    for (const char* box : kIdBoxesFollowingAChange)
        QCOMPARE(rig.Find<QSpinBox>(box)->value(), 200);
    QCOMPARE(rig.Find<QSpinBox>("m_pSpinBox_address")->value(), 99); // its own range ends at 99
    QCOMPARE(rig.Find<QSpinBox>("m_pSpinBox_old_id")->value(), 1);
    QCOMPARE(rig.Find<QSpinBox>("m_pSpinBox_new_id")->value(), 200);
}

void TestSettings::checkBoxesOnlyRelabel_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("checked");
    QTest::addColumn<QString>("unchecked");
    QTest::newRow("switches") << "m_pCheckBox_on" << "m_pLabel_on" << "On" << "Off";
    QTest::newRow("language") << "m_pCheckBox_lan" << "m_pLabel_lan" << "English" << "Chinese";
    QTest::newRow("alarm test") << "m_pCheckBox_alarm" << "m_pLabel_alarm_test" << "On" << "Off";
}

void TestSettings::checkBoxesOnlyRelabel()
{
    QFETCH(QString, box);
    QFETCH(QString, label);
    QFETCH(QString, checked);
    QFETCH(QString, unchecked);
    WindowRig rig;
    QVERIFY(rig.Connect());
    auto* checkBox = rig.Find<QCheckBox>(qPrintable(box));
    checkBox->click();
    QCOMPARE(rig.Text(qPrintable(label)), checked);
    checkBox->click();
    QCOMPARE(rig.Text(qPrintable(label)), unchecked);
    QCOMPARE(rig.Wire(), QByteArray());
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
