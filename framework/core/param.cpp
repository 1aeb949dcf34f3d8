#include "framework/core/param.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

#include "framework/core/number_text.h"

namespace plugkit {
namespace {

constexpr int32_t kMaxDisplayPrecision = 6;

bool IsUtf8Continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

// Length of the well-formed UTF-8 sequence at s (1..4), or 0 when the bytes there are not one.
int Utf8SequenceLength(const unsigned char* s) {
  const unsigned char c = s[0];
  int length;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (c < 0x80) return 1;
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0) low = 0xA0;   // no overlong forms
    if (c == 0xED) high = 0x9F;  // no surrogates
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  if (s[1] < low || s[1] > high) return 0;
  for (int i = 2; i < length; ++i) {
    if (!IsUtf8Continuation(s[i])) return 0;
  }
  return length;
}

// The text as the inside of a JSON string: quote, backslash and control characters escaped,
// bytes that are not well-formed UTF-8 replaced by U+FFFD (the page's parser rejects them).
bool AppendJsonStringContent(GrowString& out, const char* text) {
  static constexpr char kHex[] = "0123456789abcdef";
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  bool ok = true;
  while (*s != 0) {
    const unsigned char c = *s;
    if (c == '"' || c == '\\') {
      const char escaped[2] = {'\\', static_cast<char>(c)};
      ok &= out.Append(escaped, 2);
      ++s;
    } else if (c < 0x20) {
      const char escaped[6] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
      ok &= out.Append(escaped, 6);
      ++s;
    } else {
      const int length = Utf8SequenceLength(s);
      if (length == 0) {
        ok &= out.Append("\\ufffd", 6);
        ++s;
      } else {
        ok &= out.Append(reinterpret_cast<const char*>(s), length);
        s += length;
      }
    }
  }
  return ok;
}

bool AppendNumber(GrowString& out, const char* key, double value) {
  const NumberText number = FormatFixed(value, 6);
  return out.AppendFormatted(IParam::kJsonPieceLimit, "\"%s\":%s, ", key, number.Text());
}

const char* JsonTypeName(ParamType type) {
  switch (type) {
    case ParamType::Bool:
      return "bool";
    case ParamType::Int:
      return "int";
    case ParamType::Enum:
      return "enum";
    case ParamType::Double:
      return "float";
    case ParamType::None:
      break;
  }
  return nullptr;
}

}  // namespace

void CopyParamText(char (&field)[IParam::kMaxTextLength + 1], const char* text) noexcept {
  if (text == nullptr) text = "";
  int32_t length = 0;
  while (length < IParam::kMaxTextLength && text[length] != '\0') ++length;
  // Cutting inside a multi-byte character would leave a broken sequence: cut before it.
  if (length == IParam::kMaxTextLength && IsUtf8Continuation(static_cast<unsigned char>(text[length]))) {
    int32_t cut = length;
    while (cut > length - 3 && IsUtf8Continuation(static_cast<unsigned char>(text[cut]))) --cut;
    if (!IsUtf8Continuation(static_cast<unsigned char>(text[cut])) && static_cast<unsigned char>(text[cut]) >= 0xC0) {
      length = cut;
    }
  }
  std::memcpy(field, text, static_cast<std::size_t>(length));
  std::memset(field + length, 0, sizeof(field) - static_cast<std::size_t>(length));
}

// --- IParam::ShapeLinear

std::unique_ptr<IParam::Shape> IParam::ShapeLinear::Duplicate() const { return std::make_unique<ShapeLinear>(); }

void IParam::ShapeLinear::Bind(const IParam&) {}

int32_t IParam::ShapeLinear::DisplayKind() const { return 0; }

double IParam::ShapeLinear::MapFromNormalised(double normalised, const IParam& param) const {
  return param.Min() + normalised * (param.Max() - param.Min());
}

double IParam::ShapeLinear::MapToNormalised(double value, const IParam& param) const {
  const double range = param.Max() - param.Min();
  return range != 0.0 ? (value - param.Min()) / range : 0.0;
}

// --- IParam

IParam::IParam() : shape_(std::make_unique<ShapeLinear>()) {}

IParam::~IParam() = default;

void IParam::SetupContinuous(const char* name, double defaultValue, double minValue, double maxValue, double step,
                             const char* label, int32_t flags, const char* group, const Shape& shape, int32_t unit,
                             DisplayFunction displayFunction) {
  if (type_ == ParamType::None) type_ = ParamType::Double;
  CopyParamText(name_, name);
  CopyParamText(label_, label);
  CopyParamText(group_, group);

  if (!(step > 0.0 && std::isfinite(step))) step = 0.0;
  min_ = minValue;
  // A range shorter than one step is widened to one step.
  max_ = std::fmax(maxValue, minValue + step);
  step_ = step;
  default_ = defaultValue;
  unit_ = unit;
  flags_ = flags;
  displayFunction_ = std::move(displayFunction);
  value_.exchange(ClampAndSnap(defaultValue), std::memory_order_relaxed);

  displayPrecision_ = 0;
  double h = step;
  for (int i = 0; i < kMaxDisplayPrecision && std::floor(h) != h; ++i) {
    ++displayPrecision_;
    h *= 10.0;
  }

  std::unique_ptr<Shape> installed = shape.Duplicate();
  shape_ = installed != nullptr ? std::move(installed) : std::make_unique<ShapeLinear>();
  shape_->Bind(*this);
}

void IParam::SetupChoiceList(const char* name, int32_t defaultValue, std::span<const char* const> items, int32_t flags,
                             const char* group) {
  if (type_ == ParamType::None) type_ = ParamType::Enum;
  const auto count = static_cast<int32_t>(std::min<std::size_t>(items.size(), std::numeric_limits<int32_t>::max()));
  SetupContinuous(name, defaultValue, 0.0, count - 1.0, 1.0, "", flags | ParamFlag::Stepped, group, ShapeLinear(),
                  kDefaultUnit, {});
  for (int32_t i = 0; i < count; ++i) AddDisplayText(i, items[static_cast<std::size_t>(i)]);
}

void IParam::SetupChoiceList(const char* name, int32_t defaultValue, std::initializer_list<const char*> items,
                             int32_t flags, const char* group) {
  SetupChoiceList(name, defaultValue, std::span<const char* const>(items.begin(), items.size()), flags, group);
}

void IParam::SetupChoiceArgs(const char* name, int32_t defaultValue, int32_t count, const char* label, int32_t flags,
                             const char* group, std::span<const char* const> texts) {
  if (type_ == ParamType::None) type_ = ParamType::Enum;
  SetupContinuous(name, defaultValue, 0.0, count - 1.0, 1.0, label, flags | ParamFlag::Stepped, group, ShapeLinear(),
                  kDefaultUnit, {});
  if (texts.empty() || texts[0] == nullptr) return;
  const std::size_t n = std::min<std::size_t>(texts.size(), static_cast<std::size_t>(std::max(count, 0)));
  for (std::size_t i = 0; i < n; ++i) AddDisplayText(static_cast<double>(i), texts[i]);
}

void IParam::SetupChoiceArgs(const char* name, int32_t defaultValue, int32_t count, const char* label, int32_t flags,
                             const char* group, std::initializer_list<const char*> texts) {
  SetupChoiceArgs(name, defaultValue, count, label, flags, group,
                  std::span<const char* const>(texts.begin(), texts.size()));
}

void IParam::SetupSwitch(const char* name, bool defaultValue, const char* label, int32_t flags, const char* group,
                         const char* offText, const char* onText) {
  if (type_ == ParamType::None) type_ = ParamType::Bool;
  SetupChoiceArgs(name, defaultValue ? 1 : 0, 2, label, flags, group, std::span<const char* const>());
  AddDisplayText(0.0, offText);
  AddDisplayText(1.0, onText);
}

bool IParam::AddDisplayText(double value, const char* text) {
  DisplayText entry{value, {}};
  CopyParamText(entry.text, text);
  return displayTexts_.Append(&entry, static_cast<int32_t>(sizeof(entry)));
}

const IParam::DisplayText* IParam::DisplayTextAt(int32_t index) const noexcept {
  if (index < 0 || index >= DisplayTextCount()) return nullptr;
  return displayTexts_.DataAs<DisplayText>() + index;
}

double IParam::SetValue(double value) noexcept {
  const double stored = ClampAndSnap(value);
  value_.exchange(stored, std::memory_order_relaxed);
  return stored;
}

double IParam::SetNormalised(double normalised) noexcept { return SetValue(FromNormalised(normalised)); }

double IParam::ClampAndSnap(double value) const noexcept {
  if ((flags_ & ParamFlag::Stepped) != 0 && step_ > 0.0) value = std::round(value / step_) * step_;
  // fmax/fmin return the other operand for a NaN, so NaN becomes min; a ternary would pass it.
  return std::fmin(max_, std::fmax(min_, value));
}

double IParam::NormaliseValue(double value) const noexcept {
  if (!(max_ > min_)) return 0.0;
  const double normalised = shape_->MapToNormalised(ClampAndSnap(value), *this);
  return std::fmin(1.0, std::fmax(0.0, normalised));
}

double IParam::FromNormalised(double normalised) const noexcept {
  return ClampAndSnap(shape_->MapFromNormalised(normalised, *this));
}

void IParam::FormatValue(double value, bool isNormalised, GrowString& out, bool useDisplayTexts) const {
  if (isNormalised) value = FromNormalised(value);
  if (displayFunction_) {
    displayFunction_(value, out);
    return;
  }
  if (useDisplayTexts) {
    const int32_t count = DisplayTextCount();
    for (int32_t i = 0; i < count; ++i) {
      const DisplayText& entry = *DisplayTextAt(i);
      if (entry.value != value) continue;
      if (entry.text[0] != '\0') {
        out.Set(entry.text, kMaxValueTextLength);
        return;
      }
      break;
    }
  }
  double shown = HasFlag(ParamFlag::NegateDisplay) ? -value : value;
  if (shown == 0.0) shown = 0.0;  // -0 prints as 0
  NumberText text;
  if (displayPrecision_ == 0) {
    text = FormatInteger(RoundToInt32(shown));
  } else {
    text = FormatFixed(shown, displayPrecision_, HasFlag(ParamFlag::SignedDisplay) && shown != 0.0);
  }
  out.Set(text.Text(), kMaxValueTextLength);
}

double IParam::ParseValue(const char* text) const noexcept {
  if (text == nullptr) text = "";
  const int32_t count = DisplayTextCount();
  for (int32_t i = 0; i < count; ++i) {
    const DisplayText& entry = *DisplayTextAt(i);
    if (std::strcmp(entry.text, text) == 0) return entry.value;
  }
  if (type_ == ParamType::Enum || type_ == ParamType::Bool) return 0.0;
  double value = ParseLeadingNumber(text);
  if (HasFlag(ParamFlag::NegateDisplay)) value = -value;
  return ClampAndSnap(value);
}

const char* IParam::UnitText() const noexcept {
  const double whole = std::trunc(Value());
  const int32_t count = DisplayTextCount();
  for (int32_t i = 0; i < count; ++i) {
    const DisplayText& entry = *DisplayTextAt(i);
    if (entry.value == whole) return entry.text[0] != '\0' ? "" : label_;
  }
  return label_;
}

bool IParam::AppendJsonDescription(GrowString& out, int32_t index) const {
  bool ok = out.Append("{");
  ok &= out.AppendFormatted(kJsonPieceLimit, "\"id\":%i, ", static_cast<int>(index));
  ok &= out.Append("\"name\":\"");
  ok &= AppendJsonStringContent(out, name_);
  ok &= out.Append("\", ");
  if (const char* type = JsonTypeName(type_)) ok &= out.AppendFormatted(kJsonPieceLimit, "\"type\":\"%s\", ", type);
  ok &= AppendNumber(out, "min", min_);
  ok &= AppendNumber(out, "max", max_);
  ok &= AppendNumber(out, "default", default_);
  ok &= out.AppendFormatted(kJsonPieceLimit, "\"display_type\":%i, ", static_cast<int>(shape_->DisplayKind()));
  ok &= out.Append("\"rate\":\"control\"");
  ok &= out.Append("}");
  return ok;
}

}  // namespace plugkit
