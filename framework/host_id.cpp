#include "framework/host_id.h"

#include <cstring>

namespace plugkit {
namespace {

struct HostNamePattern {
  const char* text;
  HostId id;
};

// Tested in this order: longer names before the names they contain ("wavelab elements"
// before "wavelab"), and the generic words last. The numbers are stable: never renumber.
constexpr HostNamePattern kHostNamePatterns[] = {
    {"reaper", 1},         {"protools", 2},
    {"cubase", 3},         {"nuendo", 4},
    {"cakewalk", 5},       {"vegas", 6},
    {"fruity", 7},         {"samplitude", 8},
    {"live", 9},           {"tracktion", 10},
    {"ntracks", 11},       {"melodyne", 12},
    {"vstmanlib", 13},     {"aulab", 14},
    {"forte", 15},         {"chainer", 16},
    {"audition", 17},      {"orion", 18},
    {"bias", 19},          {"sawstudio", 20},
    {"logic", 21},         {"garageband", 22},
    {"digital", 23},       {"audiomulch", 25},
    {"presonus", 26},      {"vst3plugintesthost", 27},
    {"ardour", 28},        {"renoise", 29},
    {"openmpt", 30},       {"wavelab elements", 32},
    {"wavelab", 31},       {"twistedwave", 33},
    {"bitwig studio", 34}, {"reason", 36},
    {"gwvst", 37},         {"waveform", 38},
    {"audacity", 39},      {"acoustica", 40},
    {"plugindoctor", 41},  {"izotope rx", 42},
    {"savihost", 43},      {"blue cat's vst host", 44},
    {"mixbus", 45},        {"standalone", 24},
    {"www", 35},
};

constexpr int kMaxComparedLength = 255;

}  // namespace

HostId IdentifyHost(const char* name) noexcept {
  if (name == nullptr) return kHostUnknown;
  char lowered[kMaxComparedLength + 1];
  int length = 0;
  for (; length < kMaxComparedLength && name[length] != '\0'; ++length) {
    const char c = name[length];
    lowered[length] = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  lowered[length] = '\0';
  for (const HostNamePattern& pattern : kHostNamePatterns)
    if (std::strstr(lowered, pattern.text) != nullptr) return pattern.id;
  return kHostUnknown;
}

}  // namespace plugkit
