#ifndef DOSEGATE_STUDENTT_H
#define DOSEGATE_STUDENTT_H

// Student's t from Boost.Math, for the coverage factor and the specific
// risk. Degrees of freedom may be infinite (a Type B component known
// exactly), which is the normal distribution.
class StudentT
{
public:
    // The coverage probability of an expanded uncertainty, 95.45 %.
    static constexpr double kCoverage = 0.9545;

    // k = t at 95.45 % two-sided for the degrees of freedom truncated to the
    // whole number below them; NaN below 1.
    static double CoverageFactor(double degreesOfFreedom);
    // P(T ≤ t) for the degrees of freedom, used as they are.
    static double Cdf(double t, double degreesOfFreedom);
    // The probability that a quantity estimated as value, with standard
    // uncertainty u and the degrees of freedom, lies within ±limit.
    static double ProbabilityWithin(double value, double u, double degreesOfFreedom, double limit);
};

#endif
