// The script calls the plug-in runs in the page. Numbers are written without the process
// locale (a host may have set one with a decimal comma, which would split an argument in
// two), and no call is ever cut: a cut call is a syntax error that loses the whole message.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/midi_message.h"

namespace plugkit {

// The message tags the protocol keeps for itself; a plug-in's own tags are 0 and above. After
// every load the page gets the parameter list, then the values, then (from a plug-in that has
// one) the vocabulary: a JSON object of the plug-in's own naming its message tags and whatever
// lists the page shows, so that the page keeps no copy of them.
inline constexpr int32_t kParamListTag = -1;
inline constexpr int32_t kPageVocabularyTag = -2;

// "SPVFD(index, value)", the value with six decimals.
std::string ParamValueScript(int32_t paramIdx, double normalised);
// "SCVFD(tag, value)".
std::string ControlValueScript(int32_t ctrlTag, double value);
// "SCMFD(tag, msgTag, size, 'base64')".
std::string ControlMessageScript(int32_t ctrlTag, int32_t msgTag, int32_t dataSize, const void* data);
// "SAMFD(msgTag, base64 length + 1, 'base64')"; an empty payload gives "SAMFD(msgTag, 0, '')".
std::string ArbitraryMessageScript(int32_t msgTag, int32_t dataSize, const void* data);
// "SMMFD(status, data1, data2)".
std::string MidiMessageScript(const MidiMessage& message);

}  // namespace plugkit
