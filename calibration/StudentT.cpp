#include "StudentT.h"

#include <boost/math/distributions/normal.hpp>
#include <boost/math/distributions/students_t.hpp>

#include <cmath>
#include <limits>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Figures come from the console's own inputs: a domain error gives NaN
// rather than an exception.
using Policy = boost::math::policies::policy<boost::math::policies::domain_error<boost::math::policies::ignore_error>,
                                             boost::math::policies::overflow_error<boost::math::policies::ignore_error>>;

} // namespace

double StudentT::CoverageFactor(double degreesOfFreedom)
{
    if (std::isnan(degreesOfFreedom) || degreesOfFreedom < 1)
        return kNaN;
    const double tail = (1.0 - kCoverage) / 2.0;
    if (std::isinf(degreesOfFreedom))
        return quantile(complement(boost::math::normal_distribution<double, Policy>(), tail));
    const boost::math::students_t_distribution<double, Policy> t(std::floor(degreesOfFreedom));
    return quantile(complement(t, tail));
}

double StudentT::Cdf(double t, double degreesOfFreedom)
{
    if (std::isnan(t) || std::isnan(degreesOfFreedom) || degreesOfFreedom <= 0)
        return kNaN;
    if (std::isinf(t))
        return t > 0 ? 1.0 : 0.0;
    if (std::isinf(degreesOfFreedom))
        return cdf(boost::math::normal_distribution<double, Policy>(), t);
    return cdf(boost::math::students_t_distribution<double, Policy>(degreesOfFreedom), t);
}

double StudentT::ProbabilityWithin(double value, double u, double degreesOfFreedom, double limit)
{
    if (!(u > 0) || !std::isfinite(value) || !(limit > 0))
        return kNaN;
    return Cdf((limit - value) / u, degreesOfFreedom) - Cdf((-limit - value) / u, degreesOfFreedom);
}
