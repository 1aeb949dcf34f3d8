// IParam: one plug-in parameter: kind, range, step, default, the atomic current
// value, texts, flags, display texts and the shape between plain and normalised values.
//
// Threads: the Setup calls run on the constructing thread before the parameter is shared;
// afterwards only the value changes. The value is written with one atomic exchange and read
// with one 8-byte load, from the audio thread and the UI thread alike. Value(), SetValue(),
// SetNormalised(), ClampAndSnap(), FromNormalised() and NormaliseValue() never allocate and
// may run on the audio thread; FormatValue, ParseValue and AppendJsonDescription are for
// the UI thread (they may grow a GrowString).
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <span>

#include "framework/core/grow_buffer.h"
#include "framework/core/grow_string.h"

namespace plugkit {

enum class ParamType : int32_t { None = 0, Bool = 1, Int = 2, Enum = 3, Double = 4 };

// Bits of IParam::Flags().
struct ParamFlag {
  static constexpr int32_t NotAutomatable = 1;
  static constexpr int32_t Stepped = 2;
  static constexpr int32_t NegateDisplay = 4;
  static constexpr int32_t SignedDisplay = 8;
};

class IParam {
 public:
  // Texts (name, label, group, display texts) keep at most this many bytes; longer ones are
  // cut, never in the middle of a UTF-8 sequence.
  static constexpr int32_t kMaxTextLength = 31;
  static constexpr int32_t kDefaultUnit = 21;
  // FormatValue's limit: at most 32 characters.
  static constexpr int32_t kMaxValueTextLength = 32;
  static constexpr int32_t kJsonPieceLimit = 8192;

  // The mapping between a plain value and the normalised 0..1 value hosts and the page use.
  class Shape {
   public:
    virtual ~Shape() = default;
    virtual std::unique_ptr<Shape> Duplicate() const = 0;
    // Called once after the shape is installed in param.
    virtual void Bind(const IParam& param) { (void)param; }
    // Written to the page as "display_type".
    virtual int32_t DisplayKind() const { return 0; }
    virtual double MapFromNormalised(double normalised, const IParam& param) const = 0;
    virtual double MapToNormalised(double value, const IParam& param) const = 0;
  };

  // min + n x (max - min), and back; a zero range maps every value to 0.
  class ShapeLinear final : public Shape {
   public:
    std::unique_ptr<Shape> Duplicate() const override;
    void Bind(const IParam& param) override;
    int32_t DisplayKind() const override;
    double MapFromNormalised(double normalised, const IParam& param) const override;
    double MapToNormalised(double value, const IParam& param) const override;
  };

  // Formats value into out instead of the built-in rules (UI thread only).
  using DisplayFunction = std::function<void(double value, GrowString& out)>;

  // One display-text entry; the display texts are a GrowBuffer list of these (40 bytes each).
  struct DisplayText {
    double value;
    char text[kMaxTextLength + 1];
  };
  static_assert(sizeof(DisplayText) == 40);

  // A new parameter: type None, unit 21, range 0..1, step 1, default and value 0, precision 0,
  // no flags, empty texts, linear shape, no display function, no display texts.
  IParam();
  ~IParam();
  IParam(const IParam&) = delete;
  IParam& operator=(const IParam&) = delete;

  // --- Set-up. Texts are copied (null counts as ""). The first Setup call sets the type only
  // while it is still None. A step that is not a positive finite number counts as 0: no
  // snapping, display precision 0.
  void SetupContinuous(const char* name, double defaultValue, double minValue, double maxValue, double step,
                       const char* label = "", int32_t flags = 0, const char* group = "",
                       const Shape& shape = ShapeLinear(), int32_t unit = kDefaultUnit,
                       DisplayFunction displayFunction = {});
  // Enum over the items: range 0..count - 1, step 1, Stepped, label "", item i at value i.
  void SetupChoiceList(const char* name, int32_t defaultValue, std::span<const char* const> items, int32_t flags = 0,
                       const char* group = "");
  void SetupChoiceList(const char* name, int32_t defaultValue, std::initializer_list<const char*> items,
                       int32_t flags = 0, const char* group = "");
  // Enum with range 0..count - 1, step 1, Stepped. texts empty or texts[0] null: no display
  // texts; otherwise texts[i] at value i for i < min(count, texts.size()).
  void SetupChoiceArgs(const char* name, int32_t defaultValue, int32_t count, const char* label, int32_t flags,
                       const char* group, std::span<const char* const> texts);
  void SetupChoiceArgs(const char* name, int32_t defaultValue, int32_t count, const char* label, int32_t flags,
                       const char* group, std::initializer_list<const char*> texts);
  // Bool (a switch stays Bool): range 0..1, step 1, Stepped, display texts offText at 0 and
  // onText at 1.
  void SetupSwitch(const char* name, bool defaultValue, const char* label = "", int32_t flags = 0,
                   const char* group = "", const char* offText = "off", const char* onText = "on");
  // Appends an entry (an existing entry with the same value is not replaced). False when the
  // list cannot grow.
  bool AddDisplayText(double value, const char* text);

  // --- Value (any thread, no allocation).
  double Value() const noexcept { return value_.load(std::memory_order_relaxed); }
  // Stores ClampAndSnap(value) with one atomic exchange; returns the stored value.
  double SetValue(double value) noexcept;
  // Stores FromNormalised(normalised); returns the stored value.
  double SetNormalised(double normalised) noexcept;

  // Snaps to the step when Stepped (halves away from zero), then min(max, max(min, x)) with
  // fmin/fmax semantics: NaN gives min, +inf max, -inf min.
  double ClampAndSnap(double value) const noexcept;
  // shape.MapToNormalised(ClampAndSnap(value)) limited to 0..1; 0 for a zero range or NaN.
  double NormaliseValue(double value) const noexcept;
  // ClampAndSnap(shape.MapFromNormalised(normalised)).
  double FromNormalised(double normalised) const noexcept;

  // --- Texts (UI thread).
  // The value as text (at most 32 characters): the display function when present, else the
  // first display text whose value equals it exactly (when useDisplayTexts), else the number
  // with displayPrecision decimals, locale-independent.
  void FormatValue(double value, bool isNormalised, GrowString& out, bool useDisplayTexts) const;
  // A display text's value (exact match), else for non-Enum, non-Bool types the leading
  // decimal number (negated with NegateDisplay) clamped and snapped; 0 for Enum and Bool.
  double ParseValue(const char* text) const noexcept;
  // "" when the value's integer part has a non-empty display text, else the label.
  const char* UnitText() const noexcept;
  const char* NameText() const noexcept { return name_; }
  const char* GroupName() const noexcept { return group_; }
  const char* Label() const noexcept { return label_; }
  // Appends {"id":index, "name":"...", "type":"...", "min":..., "max":..., "default":...,
  // "display_type":..., "rate":"control"} with the name JSON-escaped and six-decimal numbers
  // in the C locale. False when the string could not grow (it may then hold a partial object).
  bool AppendJsonDescription(GrowString& out, int32_t index) const;

  // --- Fields.
  ParamType Type() const noexcept { return type_; }
  int32_t Unit() const noexcept { return unit_; }
  double Min() const noexcept { return min_; }
  double Max() const noexcept { return max_; }
  double Step() const noexcept { return step_; }
  double Default() const noexcept { return default_; }
  int32_t DisplayPrecision() const noexcept { return displayPrecision_; }
  int32_t Flags() const noexcept { return flags_; }
  bool HasFlag(int32_t flag) const noexcept { return (flags_ & flag) != 0; }
  const Shape& GetShape() const noexcept { return *shape_; }
  bool HasDisplayFunction() const noexcept { return static_cast<bool>(displayFunction_); }
  int32_t DisplayTextCount() const noexcept { return displayTexts_.Count<DisplayText>(); }
  // Null for an index outside 0..DisplayTextCount() - 1.
  const DisplayText* DisplayTextAt(int32_t index) const noexcept;

 private:
  ParamType type_ = ParamType::None;
  int32_t unit_ = kDefaultUnit;
  std::atomic<double> value_{0.0};
  double min_ = 0.0;
  double max_ = 1.0;
  double step_ = 1.0;
  double default_ = 0.0;
  int32_t displayPrecision_ = 0;
  int32_t flags_ = 0;
  char name_[kMaxTextLength + 1] = {};
  char label_[kMaxTextLength + 1] = {};
  char group_[kMaxTextLength + 1] = {};
  std::unique_ptr<Shape> shape_;
  DisplayFunction displayFunction_;
  GrowBuffer displayTexts_{GrowBuffer::kListGranularity};

  static_assert(std::atomic<double>::is_always_lock_free, "the value must cross threads without a lock");
};

// Copies at most IParam::kMaxTextLength bytes of text into a 32-byte field, NUL-terminated,
// without splitting a UTF-8 sequence at the cut. Null copies "".
void CopyParamText(char (&field)[IParam::kMaxTextLength + 1], const char* text) noexcept;

}  // namespace plugkit
