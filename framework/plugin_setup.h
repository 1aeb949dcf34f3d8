// The configuration record each plug-in class constructor fills and hands to the framework.
#pragma once

#include <cstdint>

namespace plugkit {

enum class PluginKind : int32_t { Effect = 0, Instrument = 1, MidiEffect = 2 };

// Packs a four-character code with its first character in the most significant byte.
constexpr int32_t FourCharCode(const char (&code)[5]) {
  return static_cast<int32_t>((static_cast<uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
                              (static_cast<uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
                              (static_cast<uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
                              static_cast<uint32_t>(static_cast<unsigned char>(code[3])));
}

constexpr int32_t PackVersion(int major, int minor, int patch) { return (major << 16) | (minor << 8) | patch; }

// Texts point at the constructor's literals; the framework copies what it keeps.
// A field left out is zero (constructors start from a value-initialised record).
struct PluginSetup {
  int32_t paramCount = 0;
  int32_t presetCount = 0;
  const char* channelLayouts = nullptr;
  const char* pluginName = nullptr;
  const char* productName = nullptr;
  const char* vendorName = nullptr;
  int32_t versionCode = 0;
  int32_t uniqueId = 0;
  int32_t vendorId = 0;
  int32_t latencySamples = 0;
  uint8_t midiIn = 0;
  uint8_t midiOut = 0;
  uint8_t midiExtra = 0;
  uint8_t apiFlag = 0;
  PluginKind pluginKind = PluginKind::Effect;
  uint8_t hasEditor = 0;
  int32_t editorWidth = 0;
  int32_t editorHeight = 0;
  int32_t editorMinWidth = 0;
  int32_t editorMaxWidth = 0;
  int32_t editorMinHeight = 0;
  int32_t editorMaxHeight = 0;
  uint8_t hostResizable = 0;
  const char* extraText1 = nullptr;
  const char* extraText2 = nullptr;
};

}  // namespace plugkit
