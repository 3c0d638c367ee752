// How long a point's run takes to reach a decisive verdict, and how often
// that verdict is wrong, with the time simulated: nodes whose readings are
// off by a known error count at the rate a true dose rate gives (the
// simulator's Poisson counting model), and the point's run takes them one
// reading period at a time. Each cell is compared with the counting limit
// t*, the least whole number of reading periods in which an ideal counter
// at that rate reaches U(e) = |tolerance − |e|| with k = 2, and with the
// fixed 20-reading window on the same runs. Wrong verdicts are counted
// per run, as the procedure as a whole gives them (a run that ends
// without a decisive verdict is not wrong, only slow).
//
//   bench_calibration [--runs N] [--seed S] [--look K] [--growth G --growth-from F]

#include "BenchSupport.h"
#include "DoseModel.h"
#include "PointRun.h"

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <vector>

namespace {

constexpr double kTolerance = 10;       // %
constexpr int kFixedWindow = 20;        // readings of the averaging window
constexpr int kReadingsOfTheLimit = 300; // 10 min at one reading every 2 s
constexpr int kSettling = 3;

// Readings after settling an ideal counter needs for U(e) = |tol − |e||.
int CountingLimit(double rate, double error)
{
    const double perReading = rate / PointRun::kDosePerCount; // counts at the true value
    const double margin = std::fabs(kTolerance - std::fabs(error)) / 100.0;
    const double factor = 1.0 + error / 100.0;
    return int(std::ceil(4.0 * factor / (perReading * margin * margin)));
}

bool Wrong(double error, PointRun::Verdict verdict)
{
    const bool within = std::fabs(error) <= kTolerance;
    return (verdict == PointRun::Pass && !within) || (verdict == PointRun::Fail && within);
}

struct Cell
{
    double rate = 0;
    double error = 0;
    int limit = 0;          // t*, readings
    std::vector<double> times; // readings after settling to a decisive verdict; inf for none
    int wrong = 0;
    int decisive = 0;
    int fixedDecisive = 0;
    int fixedWrong = 0;
};

} // namespace

int main(int argc, char* argv[])
{
    const QStringList arguments = Bench::Arguments(argc, argv);
    const int runs = Bench::IntArgument(arguments, "--runs", 400);
    const quint64 seed = quint64(Bench::IntArgument(arguments, "--seed", 31));
    const double look = Bench::TextArgument(arguments, "--look", QString::number(PointRun::kLookCoverage)).toDouble();
    const double growth
        = Bench::TextArgument(arguments, "--growth", QString::number(PointRun::kLookGrowth)).toDouble();
    const int growthFrom = Bench::IntArgument(arguments, "--growth-from", PointRun::kLookGrowthFrom);

    std::vector<Cell> cells;
    quint64 runSeed = seed;
    for (double rate : { 0.09, 1.0, 10.0, 100.0 }) {
        for (double error : { 0.0, 5.0, 9.0, 15.0, 20.0, 30.0 }) {
            Cell cell;
            cell.rate = rate;
            cell.error = error;
            cell.limit = CountingLimit(rate, error);
            PointRun::Inputs inputs;
            inputs.trueValue = rate;
            inputs.tolerance = kTolerance;
            PointRun::Settings procedure;
            procedure.settlingReadings = kSettling;
            procedure.limitReadings = kReadingsOfTheLimit;
            procedure.targetU = 0; // until the verdict or the limit: the time a verdict takes
            procedure.lookCoverage = look;
            procedure.lookGrowth = growth;
            procedure.lookGrowthFrom = growthFrom;
            for (int i = 0; i < runs; ++i) {
                DoseModel model(rate, 1.0 + error / 100.0, ++runSeed);
                PointRun run(inputs, procedure);
                std::vector<int> counts;
                while (!run.Finished()) {
                    const int count = int(model.DrawCount(1.0, 1.0));
                    counts.push_back(count);
                    run.AddCount(count);
                }
                const PointRun::Verdict verdict = run.Current().verdict;
                const bool decisive = run.CurrentStatus() == PointRun::Decided;
                cell.decisive += decisive;
                cell.wrong += decisive && Wrong(error, verdict);
                cell.times.push_back(decisive ? double(run.Current().n) : std::numeric_limits<double>::infinity());

                // Today's way on the same counts: one verdict from the first
                // full window after settling, at k = 2.
                while (int(counts.size()) < kSettling + kFixedWindow)
                    counts.push_back(int(model.DrawCount(1.0, 1.0)));
                PointRun::Settings fixed;
                fixed.settlingReadings = kSettling;
                fixed.limitReadings = kSettling + kFixedWindow;
                fixed.targetU = 0;
                fixed.lookCoverage = 2.0;
                fixed.minReadings = kFixedWindow;
                PointRun window(inputs, fixed);
                for (int k = 0; k < kSettling + kFixedWindow; ++k)
                    window.AddCount(counts[size_t(k)]);
                const PointRun::Verdict fixedVerdict = window.Current().verdict;
                const bool fixedDecisive = fixedVerdict == PointRun::Pass || fixedVerdict == PointRun::Fail;
                cell.fixedDecisive += fixedDecisive;
                cell.fixedWrong += fixedDecisive && Wrong(error, fixedVerdict);
            }
            cells.push_back(cell);
        }
    }

    std::printf("%d simulated calibrations per cell, tolerance ±%.0f %%, settling %d readings, limit %d readings, "
                "look coverage %.2f\n",
                runs, kTolerance, kSettling, kReadingsOfTheLimit, look);
    std::printf("%9s %6s %6s %9s %7s %9s %7s %10s %8s\n", "uSv/h", "e %", "t*", "median", "x t*", "decisive",
                "wrong", "fixed dec", "fixed wr");
    std::vector<double> ratios;
    std::vector<double> fast;
    int wrong = 0;
    int total = 0;
    for (const Cell& cell : cells) {
        const double median = Bench::Median(cell.times);
        const bool decidable = cell.limit <= kReadingsOfTheLimit - kSettling;
        std::printf("%9.2f %6.0f %6d %9s %7s %8.1f%% %6.2f%% %9.1f%% %7.2f%%\n", cell.rate, cell.error, cell.limit,
                    std::isfinite(median) ? qPrintable(QString::number(median)) : "-",
                    std::isfinite(median) ? qPrintable(QString::number(median / cell.limit, 'f', 2)) : "-",
                    100.0 * cell.decisive / runs, 100.0 * cell.wrong / runs, 100.0 * cell.fixedDecisive / runs,
                    100.0 * cell.fixedWrong / runs);
        wrong += cell.wrong;
        total += runs;
        if (!decidable)
            continue;
        for (double time : cell.times) {
            if (cell.limit >= kFixedWindow)
                ratios.push_back(time / cell.limit);
            else
                fast.push_back(time);
        }
    }
    std::printf("time to decisive verdict: median %.2f times the counting limit; wrong verdicts %.2f %%\n",
                Bench::Median(ratios), 100.0 * wrong / std::max(1, total));
    std::printf("fast cells: median %.0f readings after settling\n", Bench::Median(fast));
    return 0;
}
