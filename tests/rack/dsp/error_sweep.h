#pragma once

#include <functional>
#include <string>

// An approximation, its reference and the range to compare them over. `logarithmic` spreads the points
// evenly in log |x| instead of in x, for ranges of one sign that span decades.
struct SweptRange {
  std::string name;
  std::function<double(double)> approximation;
  std::function<double(double)> reference;
  double from;
  double to;
  bool logarithmic;
};

struct WorstError {
  double shareOfBound;
  double at;
};

// The worst error over evenly spread points of the range, as a share of the bound absolute + relative
// |reference| (with no absolute part, a zero reference is held to the relative figure itself). Above 1
// the bound is broken.
WorstError SweepError(const SweptRange& range, double absolute, double relative, int points = 200001);
