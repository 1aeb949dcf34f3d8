// Messages the page posts, parsed by their "msg" field. A text that is not a JSON object, a
// missing or mistyped field, or an unknown "msg" gives NoPageMessage: such a message is
// dropped without effect, whatever the page sent.
#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "framework/core/key_event.h"
#include "framework/core/midi_message.h"

namespace plugkit {

struct NoPageMessage {};

// "SPVFUI": the page set a parameter (normalised value as the page sent it).
struct ParamValueFromPage {
  int32_t paramIdx;
  double value;
};

// "BPCFUI" / "EPCFUI": the page starts or ends a gesture on a parameter.
struct ParamGestureFromPage {
  int32_t paramIdx;
  bool begin;
};

// "SAMFUI": an arbitrary message with its decoded payload.
struct ArbitraryMessageFromPage {
  int32_t msgTag;
  int32_t ctrlTag;
  std::vector<uint8_t> data;
};

// "SMMFUI".
struct MidiFromPage {
  MidiMessage message;
};

// "SKPFUI".
struct KeyFromPage {
  KeyEvent key;
  bool isUp;
};

using PageMessage = std::variant<NoPageMessage, ParamValueFromPage, ParamGestureFromPage, ArbitraryMessageFromPage,
                                 MidiFromPage, KeyFromPage>;

// Parses one posted message (UTF-8 JSON text; null counts as no message). Never throws.
PageMessage ParsePageMessage(const char* json) noexcept;

}  // namespace plugkit
