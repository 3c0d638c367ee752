#include "ModalWatcher.h"
#include "ReplyFrames.h"
#include "WindowRig.h"

#include <QDoubleSpinBox>
#include <QSpinBox>
#include <QTest>

namespace {

const char* const kFields[] = {
    "doubleSpinBox_calib_1", "doubleSpinBox_calib_2", "doubleSpinBox_calib_3",
    "doubleSpinBox_tvalue_1", "doubleSpinBox_tvalue_2", "doubleSpinBox_tvalue_3",
    "doubleSpinBox_mvalue_1", "doubleSpinBox_mvalue_2", "doubleSpinBox_mvalue_3",
    "doubleSpinBox_lastCoe_1", "doubleSpinBox_lastCoe_2", "doubleSpinBox_lastCoe_3",
};

QString Shown(const WindowRig& rig, const QString& field)
{
    auto* box = rig.Find<QDoubleSpinBox>(qPrintable(field));
    return box->textFromValue(box->value());
}

} // namespace

class TestCalibration : public QObject
{
    Q_OBJECT

private slots:
    void calcComputesTrueOverMeasuredTimesCurrent_data();
    void calcComputesTrueOverMeasuredTimesCurrent();
    void calcWorksOnEachRangeAlone();
    void resetSetsAllTwelveFieldsToOne();
    void coefficientReplyFillsTheReadBackRow();
    void coefficientReplyForAnotherIdIsDropped();
};

void TestCalibration::calcComputesTrueOverMeasuredTimesCurrent_data()
{
    QTest::addColumn<double>("current");
    QTest::addColumn<double>("trueValue");
    QTest::addColumn<double>("measured");
    QTest::addColumn<QString>("result");
    QTest::addColumn<QString>("warning"); // what Set would write, said before it is written
    QTest::newRow("reads low") << 1.0 << 100.0 << 80.0 << "1.2500" << "";
    QTest::newRow("reads high, corrected before") << 1.2 << 90.0 << 100.0 << "1.0800" << "";
    QTest::newRow("clamped to the field's maximum")
        << 1.0 << 200000.0 << 1.0 << "5.0000"
        << "Range 1: the computed coefficient 200000 lies outside 0.0001 to 5. The field holds 5.0000, and Set "
           "would write that to node 1.";
    QTest::newRow("clamped to the field's minimum")
        << 0.0001 << 0.0001 << 200000.0 << "0.0001"
        << "Range 1: the computed coefficient 5e-14 lies outside 0.0001 to 5. The field holds 0.0001, and Set "
           "would write that to node 1.";
}

void TestCalibration::calcComputesTrueOverMeasuredTimesCurrent()
{
    QFETCH(double, current);
    QFETCH(double, trueValue);
    QFETCH(double, measured);
    QFETCH(QString, result);
    QFETCH(QString, warning);
    WindowRig rig;
    ModalWatcher boxes(QMessageBox::Ok);
    rig.Find<QDoubleSpinBox>("doubleSpinBox_lastCoe_1")->setValue(current);
    rig.Find<QDoubleSpinBox>("doubleSpinBox_tvalue_1")->setValue(trueValue);
    rig.Find<QDoubleSpinBox>("doubleSpinBox_mvalue_1")->setValue(measured);
    rig.Click("m_pCalcCoefficientBtn");
    QCOMPARE(Shown(rig, "doubleSpinBox_calib_1"), result);
    QCOMPARE(boxes.boxes, warning.isEmpty() ? QStringList() : QStringList { "Coefficient out of range|" + warning });
}

void TestCalibration::calcWorksOnEachRangeAlone()
{
    WindowRig rig;
    rig.Find<QDoubleSpinBox>("doubleSpinBox_tvalue_2")->setValue(300);
    rig.Find<QDoubleSpinBox>("doubleSpinBox_mvalue_2")->setValue(250);
    rig.Find<QDoubleSpinBox>("doubleSpinBox_lastCoe_3")->setValue(0.5);
    rig.Click("m_pCalcCoefficientBtn");
    QCOMPARE(Shown(rig, "doubleSpinBox_calib_1"), QString("1.0000"));
    QCOMPARE(Shown(rig, "doubleSpinBox_calib_2"), QString("1.2000"));
    QCOMPARE(Shown(rig, "doubleSpinBox_calib_3"), QString("0.5000"));
}

void TestCalibration::resetSetsAllTwelveFieldsToOne()
{
    WindowRig rig;
    double value = 0.5;
    for (const char* field : kFields)
        rig.Find<QDoubleSpinBox>(field)->setValue(value += 0.25);
    rig.Find<QSpinBox>("m_pSpinBox_calib_id")->setValue(4);
    rig.Click("m_pResetBtn");
    for (const char* field : kFields)
        QCOMPARE(Shown(rig, field), QString("1.0000"));
    QCOMPARE(rig.Find<QSpinBox>("m_pSpinBox_calib_id")->value(), 4);
}

void TestCalibration::coefficientReplyFillsTheReadBackRow()
{
    WindowRig rig;
    QVERIFY(rig.Connect());
    rig.Find<QSpinBox>("m_pSpinBox_calib_id")->setValue(3); // the decoder reads the copy of this id
    rig.controller.Send(ReplyFrames::Coefficients(3, 12500, 8000, -10000));
    QTRY_COMPARE(Shown(rig, "doubleSpinBox_lastCoe_1"), QString("1.2500"));
    QCOMPARE(Shown(rig, "doubleSpinBox_lastCoe_2"), QString("0.8000"));
    QCOMPARE(Shown(rig, "doubleSpinBox_lastCoe_3"), QString("0.0001")); // -1.0 held at the minimum

    rig.Click("m_pResetBtn");
    QCOMPARE(Shown(rig, "doubleSpinBox_lastCoe_1"), QString("1.0000"));
}

void TestCalibration::coefficientReplyForAnotherIdIsDropped()
{
    WindowRig rig;
    ModalWatcher watcher;
    QVERIFY(rig.Connect());
    rig.controller.Send(ReplyFrames::Coefficients(2, 12500, 8000, 9000));
    // The frame behind a dropped coefficient reply goes with it; the box of
    // the next one shows that the reply has been handled.
    rig.controller.Send(ReplyFrames::Acknowledge(1, 0, 2) + ReplyFrames::Acknowledge(1, 0, 6));
    QTRY_VERIFY(!watcher.boxes.isEmpty() && watcher.boxes.last().startsWith("set language|"));
    for (const char* field : { "doubleSpinBox_lastCoe_1", "doubleSpinBox_lastCoe_2", "doubleSpinBox_lastCoe_3" })
        QCOMPARE(Shown(rig, field), QString("1.0000"));
}

QTEST_MAIN(TestCalibration)
#include "tst_calibration.moc"
