#pragma once

#include <map>
#include <string>

#include "rack/dsp/block_tunings.h"
#include "rack/dsp/tuning_env.h"

// Stands in for the process environment through TuningEnvironment's lookup, so tests can set and
// remove tuning variables without touching the real environment, which the whole process shares.
// One instance at a time.
class FakeTuningEnvironment {
 public:
  FakeTuningEnvironment();
  ~FakeTuningEnvironment();
  FakeTuningEnvironment(const FakeTuningEnvironment&) = delete;
  FakeTuningEnvironment& operator=(const FakeTuningEnvironment&) = delete;

  void Set(const std::string& name, const std::string& value) { values_[name] = value; }
  void Unset(const std::string& name) { values_.erase(name); }
  tarnwell::dsp::EnvLookup Lookup() const { return &Find; }
  tarnwell::dsp::TuningEnvironment Environment() const { return tarnwell::dsp::TuningEnvironment(&Find); }

  // Block tunings from their defaults as a first prepare reads them.
  tarnwell::dsp::BlockTunings Read() const;

 private:
  static const char* Find(const char* name);

  std::map<std::string, std::string> values_;
};

// Block tunings read from a fresh set of variables, given as name and value pairs.
tarnwell::dsp::BlockTunings TuningsWith(const std::map<std::string, std::string>& variables);
