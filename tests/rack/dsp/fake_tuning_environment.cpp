#include "fake_tuning_environment.h"

namespace {

const std::map<std::string, std::string>* currentValues = nullptr;

}  // namespace

FakeTuningEnvironment::FakeTuningEnvironment() { currentValues = &values_; }

FakeTuningEnvironment::~FakeTuningEnvironment() { currentValues = nullptr; }

tarnwell::dsp::BlockTunings FakeTuningEnvironment::Read() const {
  tarnwell::dsp::BlockTunings tunings;
  tunings.Read(Environment());
  return tunings;
}

const char* FakeTuningEnvironment::Find(const char* name) {
  if (currentValues == nullptr) {
    return nullptr;
  }
  const auto found = currentValues->find(name);
  return found == currentValues->end() ? nullptr : found->second.c_str();
}

tarnwell::dsp::BlockTunings TuningsWith(const std::map<std::string, std::string>& variables) {
  FakeTuningEnvironment environment;
  for (const auto& [name, value] : variables) {
    environment.Set(name, value);
  }
  return environment.Read();
}
