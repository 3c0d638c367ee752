#include "CountingStatistics.h"

#include <boost/math/distributions/chi_squared.hpp>

#include <cmath>
#include <limits>

double CountingStatistics::DecisionThreshold(double background, double backgroundU, int n)
{
    if (n < 1 || !(background >= 0) || !(backgroundU >= 0))
        return std::numeric_limits<double>::quiet_NaN();
    return kQuantile95 * std::sqrt(kDosePerCount * background / n + backgroundU * backgroundU);
}

double CountingStatistics::DetectionLimit(double background, double backgroundU, int n)
{
    const double threshold = DecisionThreshold(background, backgroundU, n);
    return 2.0 * threshold + kQuantile95 * kQuantile95 * kDosePerCount / n;
}

CountingStatistics::Dispersion CountingStatistics::DispersionOf(const QList<int>& counts)
{
    Dispersion dispersion;
    const int n = counts.size();
    if (n < 2)
        return dispersion;
    double mean = 0;
    for (int count : counts)
        mean += count;
    mean /= n;
    if (!(mean > 0))
        return dispersion;
    double squares = 0;
    for (int count : counts)
        squares += (count - mean) * (count - mean);
    dispersion.index = squares / mean;
    dispersion.ratio = std::sqrt(dispersion.index / (n - 1));
    const boost::math::chi_squared chi(n - 1);
    dispersion.unusual = dispersion.index < quantile(chi, 0.025) || dispersion.index > quantile(chi, 0.975);
    dispersion.valid = true;
    return dispersion;
}
