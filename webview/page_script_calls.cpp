#include "webview/page_script_calls.h"

#include "framework/core/number_text.h"
#include "webview/base64.h"

namespace plugkit {
namespace {

std::string Integer(int64_t value) { return std::string(FormatInteger(value).View()); }
std::string SixDecimals(double value) { return std::string(FormatFixed(value, 6).View()); }

// A missing payload or a negative size counts as no bytes.
std::string PayloadText(int32_t dataSize, const void* data) {
  if (data == nullptr || dataSize <= 0) return {};
  return Base64Text(static_cast<const uint8_t*>(data), dataSize);
}

}  // namespace

std::string ParamValueScript(int32_t paramIdx, double normalised) {
  return "SPVFD(" + Integer(paramIdx) + ", " + SixDecimals(normalised) + ")";
}

std::string ControlValueScript(int32_t ctrlTag, double value) {
  return "SCVFD(" + Integer(ctrlTag) + ", " + SixDecimals(value) + ")";
}

std::string ControlMessageScript(int32_t ctrlTag, int32_t msgTag, int32_t dataSize, const void* data) {
  return "SCMFD(" + Integer(ctrlTag) + ", " + Integer(msgTag) + ", " + Integer(dataSize) + ", '" +
         PayloadText(dataSize, data) + "')";
}

std::string ArbitraryMessageScript(int32_t msgTag, int32_t dataSize, const void* data) {
  const std::string text = PayloadText(dataSize, data);
  const int64_t length = text.empty() ? 0 : static_cast<int64_t>(text.size()) + 1;
  return "SAMFD(" + Integer(msgTag) + ", " + Integer(length) + ", '" + text + "')";
}

std::string MidiMessageScript(const MidiMessage& message) {
  return "SMMFD(" + Integer(message.status) + ", " + Integer(message.data1) + ", " + Integer(message.data2) + ")";
}

}  // namespace plugkit
