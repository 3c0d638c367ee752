#ifndef DOSEGATE_COUNTINGSTATISTICS_H
#define DOSEGATE_COUNTINGSTATISTICS_H

#include <QList>

// What counting alone allows a run of readings, each a whole count times
// kDosePerCount: the decision threshold and the detection limit of the net
// mean after ISO 11929 (α = β = 5 %), and whether the readings scatter as
// counts do (index of dispersion against χ² at 95 %).
class CountingStatistics
{
public:
    static constexpr double kDosePerCount = 0.0056; // μSv/h per count of a reading
    static constexpr double kQuantile95 = 1.6448536269514722; // k(1 − α) = k(1 − β), one-sided 95 %

    // Net mean (μSv/h) that n readings must exceed to tell the source from
    // a background B with standard uncertainty uB: k·√(w·B/n + uB²).
    static double DecisionThreshold(double background, double backgroundU, int n);
    // The smallest net rate that n readings detect with 95 % probability:
    // 2·y* + k²·w/n, the closed form when α = β.
    static double DetectionLimit(double background, double backgroundU, int n);

    struct Dispersion
    {
        double index = 0;    // Σ(c − c̄)² / c̄, χ² with n − 1 degrees of freedom
        double ratio = 0;    // the readings' spread over the spread of counting, √(index / (n − 1))
        bool unusual = false; // outside the χ² 95 % interval, either way
        bool valid = false;
    };
    static Dispersion DispersionOf(const QList<int>& counts);
};

#endif
