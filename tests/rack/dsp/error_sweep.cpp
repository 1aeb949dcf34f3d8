#include "error_sweep.h"

#include <cmath>

WorstError SweepError(const SweptRange& range, double absolute, double relative, int points) {
  WorstError worst{0.0, range.from};
  const double sign = range.from < 0.0 ? -1.0 : 1.0;
  const double logFrom = std::log(std::fabs(range.from));
  const double logTo = std::log(std::fabs(range.to));
  for (int i = 0; i < points; ++i) {
    const double share = static_cast<double>(i) / (points - 1);
    const double x = range.logarithmic ? sign * std::exp(logFrom + share * (logTo - logFrom))
                                       : range.from + share * (range.to - range.from);
    const double expected = range.reference(x);
    double bound = absolute + relative * std::fabs(expected);
    if (bound == 0.0) {
      bound = relative;
    }
    const double error = std::fabs(range.approximation(x) - expected) / bound;
    if (!(error <= worst.shareOfBound)) {
      worst = {error, x};
    }
  }
  return worst;
}
