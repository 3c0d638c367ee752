#include "WireBytes.h"
#include "CommandFrame.h"
#include "DoseModel.h"
#include "NodeBank.h"

#include <QTest>

#include <cmath>

namespace {

constexpr double kDosePerCount = 0.0056; // μSv/h shown per count by the console
constexpr double kSensitivity = 1.2;

// Mean count of node 1's dose-count frames over many dose requests, read
// from the frames' count bytes.
double MeanCount(NodeBank& bank, int requests)
{
    double sum = 0.0;
    for (int i = 0; i < requests; ++i) {
        const QByteArray frame = bank.Handle(CommandFrame::DoseRequest()).frames.first();
        sum += quint8(frame[5]) << 16 | quint8(frame[6]) << 8 | quint8(frame[7]);
    }
    return sum / requests;
}

// Within four standard errors of a Poisson mean: with a fixed seed the
// outcome is fixed too, and a wrong model misses by far more.
bool NearPoissonMean(double measured, double expected, int draws)
{
    return std::fabs(measured - expected) < 4.0 * std::sqrt(expected / draws);
}

QByteArray Describe(double measured, double expected)
{
    return QByteArray::number(measured) + " against " + QByteArray::number(expected);
}

} // namespace

class TestSimDoseModel : public QObject
{
    Q_OBJECT

private slots:
    void meanCountFollowsRateAndSensitivity();
    void coefficientsFromACalibrationBringReadingsToTheTrueRate();
    void eachRangeUsesItsOwnCoefficient_data();
    void eachRangeUsesItsOwnCoefficient();
    void gainStepsMoveTheMean();
    void seedMakesRunsRepeatable();
    void nonPositiveCoefficientCountsNothing();
};

void TestSimDoseModel::meanCountFollowsRateAndSensitivity()
{
    const int draws = 20000;
    DoseModel model(0.09, kSensitivity, 11);
    NodeBank bank({ 1 }, &model);
    const double expected = 0.09 * kSensitivity / kDosePerCount;
    const double mean = MeanCount(bank, draws);
    QVERIFY2(NearPoissonMean(mean, expected, draws), Describe(mean, expected));
}

// The console's Calc: true / measured × current = 0.09 / 0.108 × 1, sent
// as 8333 (00 00 20 8D) for all three ranges.
void TestSimDoseModel::coefficientsFromACalibrationBringReadingsToTheTrueRate()
{
    const int draws = 20000;
    DoseModel model(0.09, kSensitivity, 12);
    NodeBank bank({ 1 }, &model);
    bank.Handle(CommandFrame::Enveloped(0x0A, 1, Hex("00 00 20 8D 00 00 20 8D 00 00 20 8D")));
    const double reading = MeanCount(bank, draws) * kDosePerCount;
    QVERIFY2(std::fabs(reading - 0.09) < 0.01 * 0.09, Describe(reading, 0.09));
}

void TestSimDoseModel::eachRangeUsesItsOwnCoefficient_data()
{
    QTest::addColumn<double>("rate");
    QTest::addColumn<double>("factor"); // the halved coefficient's, or 1 if another range's
    // 0.5 (00 00 13 88) in one range at a time, 1 (00 00 27 10) in the others.
    QTest::addColumn<QByteArray>("coefficients");
    const QByteArray first = Hex("00 00 13 88 00 00 27 10 00 00 27 10");
    const QByteArray second = Hex("00 00 27 10 00 00 13 88 00 00 27 10");
    const QByteArray third = Hex("00 00 27 10 00 00 27 10 00 00 13 88");
    QTest::newRow("150 uSv/h, first halved") << 150.0 << 0.5 << first;
    QTest::newRow("150 uSv/h, second halved") << 150.0 << 1.0 << second;
    QTest::newRow("199.9 uSv/h, first halved") << 199.9 << 0.5 << first;
    QTest::newRow("200 uSv/h, second halved") << 200.0 << 0.5 << second;
    QTest::newRow("200 uSv/h, first halved") << 200.0 << 1.0 << first;
    QTest::newRow("999 uSv/h, second halved") << 999.0 << 0.5 << second;
    QTest::newRow("1000 uSv/h, third halved") << 1000.0 << 0.5 << third;
    QTest::newRow("1000 uSv/h, second halved") << 1000.0 << 1.0 << second;
}

void TestSimDoseModel::eachRangeUsesItsOwnCoefficient()
{
    QFETCH(double, rate);
    QFETCH(double, factor);
    QFETCH(QByteArray, coefficients);
    const int draws = 2000;
    DoseModel model(rate, kSensitivity, 13);
    NodeBank bank({ 1 }, &model);
    bank.Handle(CommandFrame::Enveloped(0x0A, 1, coefficients));
    const double expected = rate * kSensitivity * factor / kDosePerCount;
    const double mean = MeanCount(bank, draws);
    QVERIFY2(NearPoissonMean(mean, expected, draws), Describe(mean, expected));
}

void TestSimDoseModel::gainStepsMoveTheMean()
{
    const int draws = 5000;
    const double base = 50.0 * kSensitivity / kDosePerCount;
    DoseModel model(50.0, kSensitivity, 14);
    NodeBank bank({ 1 }, &model);
    bank.Handle(CommandFrame::Enveloped(0x2F, 1, Hex("0A"))); // ten steps up: +10 %
    double mean = MeanCount(bank, draws);
    QVERIFY2(NearPoissonMean(mean, 1.10 * base, draws), Describe(mean, 1.10 * base));
    bank.Handle(CommandFrame::Enveloped(0x1F, 1, Hex("14"))); // twenty down: -10 % of the start
    mean = MeanCount(bank, draws);
    QVERIFY2(NearPoissonMean(mean, 0.90 * base, draws), Describe(mean, 0.90 * base));
}

void TestSimDoseModel::seedMakesRunsRepeatable()
{
    DoseModel first(0.5, kSensitivity, 42), again(0.5, kSensitivity, 42), other(0.5, kSensitivity, 43);
    QList<quint32> a, b, c;
    for (int i = 0; i < 200; ++i) {
        a << first.DrawCount(1.0, 1.0);
        b << again.DrawCount(1.0, 1.0);
        c << other.DrawCount(1.0, 1.0);
    }
    QCOMPARE(a, b);
    QVERIFY(a != c);
}

void TestSimDoseModel::nonPositiveCoefficientCountsNothing()
{
    DoseModel model(500.0, kSensitivity, 15);
    QCOMPARE(model.DrawCount(1.0, 0.0), 0u);
    QCOMPARE(model.DrawCount(1.0, -1.0), 0u);
}

QTEST_GUILESS_MAIN(TestSimDoseModel)
#include "tst_sim_dosemodel.moc"
