#include "webview/page_message.h"

#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "webview/base64.h"
#include "webview/page_keys.h"

namespace plugkit {
namespace {

using Json = nlohmann::json;
using Type = Json::value_t;

// Field access never uses operator[] (it would insert) and checks the type before reading,
// because the library converts between numbers and booleans on its own.
const Json* Field(const Json& object, const char* key) {
  const auto found = object.find(key);
  return found != object.end() ? &*found : nullptr;
}

std::optional<double> NumberField(const Json& object, const char* key) {
  const Json* value = Field(object, key);
  if (value == nullptr || !value->is_number()) return std::nullopt;
  return value->get<double>();
}

// Integers keep their low 32 bits, floats are cut toward zero (those beyond the int32 range
// are mistyped), booleans count 1 or 0.
std::optional<int32_t> IntegerField(const Json& object, const char* key) {
  const Json* value = Field(object, key);
  if (value == nullptr) return std::nullopt;
  switch (value->type()) {
    case Type::number_integer:
      return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value->get<int64_t>())));
    case Type::number_unsigned:
      return static_cast<int32_t>(static_cast<uint32_t>(value->get<uint64_t>()));
    case Type::number_float: {
      const double cut = std::trunc(value->get<double>());
      if (!(cut >= INT32_MIN && cut <= INT32_MAX)) return std::nullopt;
      return static_cast<int32_t>(cut);
    }
    case Type::boolean:
      return value->get<bool>() ? 1 : 0;
    default:
      return std::nullopt;
  }
}

std::optional<uint8_t> ByteField(const Json& object, const char* key) {
  const std::optional<int32_t> value = IntegerField(object, key);
  if (!value) return std::nullopt;
  return static_cast<uint8_t>(static_cast<uint32_t>(*value) & 0xFF);
}

std::optional<bool> BooleanField(const Json& object, const char* key) {
  const Json* value = Field(object, key);
  if (value == nullptr || !value->is_boolean()) return std::nullopt;
  return value->get<bool>();
}

const std::string* StringField(const Json& object, const char* key) {
  const Json* value = Field(object, key);
  return value != nullptr && value->is_string() ? value->get_ptr<const std::string*>() : nullptr;
}

PageMessage ParamValue(const Json& object) {
  const auto value = NumberField(object, "value");
  const auto paramIdx = IntegerField(object, "paramIdx");
  if (!value || !paramIdx) return NoPageMessage{};
  return ParamValueFromPage{*paramIdx, *value};
}

PageMessage ParamGesture(const Json& object, bool begin) {
  const auto paramIdx = IntegerField(object, "paramIdx");
  if (!paramIdx) return NoPageMessage{};
  return ParamGestureFromPage{*paramIdx, begin};
}

PageMessage ArbitraryMessage(const Json& object) {
  // A "data" that is missing or not a string is no payload, not a fault.
  std::vector<uint8_t> data;
  if (const std::string* text = StringField(object, "data")) {
    auto decoded = DecodePagePayload(*text);
    if (!decoded) return NoPageMessage{};
    data = std::move(*decoded);
  }
  const auto ctrlTag = IntegerField(object, "ctrlTag");
  const auto msgTag = IntegerField(object, "msgTag");
  if (!ctrlTag || !msgTag) return NoPageMessage{};
  return ArbitraryMessageFromPage{*msgTag, *ctrlTag, std::move(data)};
}

PageMessage Midi(const Json& object) {
  const auto status = ByteField(object, "statusByte");
  const auto data1 = ByteField(object, "dataByte1");
  const auto data2 = ByteField(object, "dataByte2");
  if (!status || !data1 || !data2) return NoPageMessage{};
  return MidiFromPage{MidiMessage{0, *status, *data1, *data2}};
}

PageMessage Key(const Json& object) {
  const auto alt = BooleanField(object, "A");
  const auto control = BooleanField(object, "C");
  const auto shift = BooleanField(object, "S");
  const std::string* text = StringField(object, "utf8");
  const auto keyCode = IntegerField(object, "keyCode");
  const auto isUp = BooleanField(object, "isUp");
  if (!alt || !control || !shift || text == nullptr || !keyCode || !isUp) return NoPageMessage{};
  return KeyFromPage{KeyFromPageEvent(*keyCode, text->c_str(), *shift, *control, *alt), *isUp};
}

}  // namespace

PageMessage ParsePageMessage(const char* json) noexcept {
  try {
    if (json == nullptr) return NoPageMessage{};
    const Json message = Json::parse(json, nullptr, /*allow_exceptions=*/false);
    // The JSON text null reads as an empty object: it names no kind either.
    if (!message.is_object()) return NoPageMessage{};
    const std::string* kind = StringField(message, "msg");
    if (kind == nullptr) return NoPageMessage{};
    if (*kind == "SPVFUI") return ParamValue(message);
    if (*kind == "BPCFUI") return ParamGesture(message, true);
    if (*kind == "EPCFUI") return ParamGesture(message, false);
    if (*kind == "SAMFUI") return ArbitraryMessage(message);
    if (*kind == "SMMFUI") return Midi(message);
    if (*kind == "SKPFUI") return Key(message);
  } catch (...) {
  }
  return NoPageMessage{};
}

}  // namespace plugkit
