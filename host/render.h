// The `render` command: runs an audio file through a plug-in, block by block.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "host/module.h"
#include "host/wav_file.h"

namespace tarnwell::host {

struct RenderOptions {
  std::vector<std::pair<std::string, std::string>> parameters;  // id or title -> value text
  std::string stateFile;                                        // a saved state chunk to load first (empty: none)
  std::string saveStateFile;  // where to write the state after rendering (empty: nowhere)
  int blockSize = 512;
  // Block sizes taken in turn, as hosts that cut the stream unevenly do (empty: blockSize);
  // the largest is the maximum the plug-in is set up for.
  std::vector<int> blockSizes;
  bool offline = false;     // set up and process in offline mode, as a bounce does
  int64_t startSample = 0;  // project time of the first sample (negative: a pre-roll)
  double sampleRate = 0;    // 0: the input file's rate
  bool bypass = false;
  std::string hostName = "Tarnwell Host";
};

// Reads "1024,752,272": positive sizes separated by commas and nothing else.
bool ParseBlockSizes(const std::string& text, std::vector<int>* sizes);

// Renders `input` through the module's plug-in into `output`. A parameter value is the
// plug-in's own display text (as getParamValueByString reads it) or, with a leading '=',
// a normalised value. False (with *error) on any failure; also when a process call allocated.
bool Render(const Module& module, const AudioFile& input, const RenderOptions& options, AudioFile* output,
            std::string* error);

}  // namespace tarnwell::host
