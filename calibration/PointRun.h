#ifndef DOSEGATE_POINTRUN_H
#define DOSEGATE_POINTRUN_H

#include <limits>

// One point's run of readings as the guided calibration takes it: the
// readings of the settling time are left out, then readings are collected
// until the expanded uncertainty of e reaches its target, the guarded
// verdict is decisive, or the time limit ends the run.
//
// The stop rule is looked at after every reading, which is a sequential
// test: at a fixed k = 2 the chance that some look on the way shows a wrong
// decisive verdict grows with the number of looks. The looks therefore use
// a stricter coverage factor, kLookCoverage, in place of k = 2, weighed
// with bench_calibration against the time a verdict takes: over all its
// cells the runs end wrong in 0.2 %, in the worst (e 1 point inside the
// tolerance at 16 counts a reading, which the time limit cannot decide)
// in about 2.2 % against 2.3 % for a single look at k = 2. A third of that
// cell's wrong verdicts came in the first ten looks, from counting's skew
// at under 400 counts, which kMinCounts now waits out at no cost to the
// median time. A coverage that grows with the number of looks
// (lookGrowth) cuts the rest only slowly and lengthens the slow cells'
// runs by a tenth or more: it is left at 0. A run the time limit ends
// keeps its verdict open, never a guess. The figures reported with the
// point keep the usual k at 95.45 %.
//
// The spread of the readings is never taken below what counting gives
// (√ of the mean count, or of the count the true value gives if that is
// more): a short run of counts can scatter less than counting does by
// chance, and a verdict must not rest on that luck.
class PointRun
{
public:
    static constexpr double kEmpty = std::numeric_limits<double>::quiet_NaN();
    static constexpr double kDosePerCount = 0.0056; // μSv/h per count of a reading
    static constexpr double kLookCoverage = 2.4;
    // The look's coverage × √(1 + growth · ln(n / from)) after `from` readings.
    static constexpr double kLookGrowth = 0.0;
    static constexpr int kLookGrowthFrom = 20;
    static constexpr int kMinReadings = 3; // settled readings before any look
    // Nor before this many counts: below, counting's skewed tail makes a
    // normal coverage too short on the high side.
    static constexpr double kMinCounts = 400;

    enum Status { Settling, Collecting, Decided, TargetReached, TimedOut };
    // In the order of CalibrationFigures::Verdict, whose words it shares.
    enum Verdict { NoVerdict, Pass, Fail, Inconclusive };

    struct Settings
    {
        int settlingReadings = 3;     // 3 request periods
        int limitReadings = 300;      // 10 min at one reading every 2 s
        double targetU = kEmpty;      // points of e; NaN: targetShare of the tolerance; 0: none
        double targetShare = 1.0 / 3.0;
        double lookCoverage = kLookCoverage;
        double lookGrowth = kLookGrowth;
        int lookGrowthFrom = kLookGrowthFrom;
        int minReadings = kMinReadings; // settled readings before the first look
    };

    struct Inputs
    {
        double trueValue = kEmpty;         // μSv/h
        double tolerance = 10;             // %
        double background = 0;             // μSv/h
        double backgroundUncertainty = 0;  // μSv/h, expanded with k = 2
        double referenceUncertainty = 0;   // %, expanded with k = 2
    };

    struct Figures
    {
        int n = 0;                         // settled readings
        double mean = kEmpty;              // μSv/h
        double standardDeviation = kEmpty; // μSv/h, of the readings, never below counting's
        double error = kEmpty;             // %
        double standardUncertainty = kEmpty; // points of e
        double coverageFactor = kEmpty;    // 95.45 %
        double expandedUncertainty = kEmpty;
        double degreesOfFreedom = kEmpty;
        Verdict verdict = NoVerdict;       // guarded, at the look's coverage
    };

    PointRun(const Inputs& inputs, const Settings& settings);

    // One reading's count; returns the run's status after it.
    Status AddCount(int count);
    Status CurrentStatus() const { return m_status; }
    bool Finished() const { return m_status == Decided || m_status == TargetReached || m_status == TimedOut; }
    // Readings taken, settling included, and of them those left out.
    int Readings() const { return m_nReadings; }
    int SettlingLeft() const;
    const Figures& Current() const { return m_figures; }
    double TargetU() const;
    // Estimated readings still needed, from the count rate so far; the
    // readings left to the limit when the estimate says it cannot be done.
    int EstimatedReadingsLeft() const;
    // 0 to 100.
    int Progress() const;

private:
    void Evaluate();
    double LookCoverage() const;

    Inputs m_inputs;
    Settings m_settings;
    Status m_status = Settling;
    int m_nReadings = 0;
    int m_n = 0;
    double m_fSum = 0;
    double m_fSumOfSquares = 0;
    double m_fRelativeOther = 0; // u² of e from the reference and the background, points²
    double m_fSpread = kEmpty;   // per reading, counts
    Figures m_figures;
};

#endif
