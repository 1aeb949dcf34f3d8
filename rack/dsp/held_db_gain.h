#pragma once

#include "rack/dsp/dsp_math.h"

namespace tarnwell::dsp {

// DbToGain of a setting that arrives again with every audio block: the power of ten is taken only
// when the value changes, so a held setting costs a comparison.
class HeldDbGain {
 public:
  double Gain(double db) {
    if (!(db == db_)) {
      db_ = db;
      gain_ = DbToGain(db);
    }
    return gain_;
  }

 private:
  double db_ = 0.0;
  double gain_ = 1.0;
};

}  // namespace tarnwell::dsp
