// Tarnwell's 53 parameters: three global ones, then five per bay for ten bays. The indices are
// stored in host sessions and preset files, so the rule below must never change.
#pragma once

#include <cstdint>

#include "framework/editor_delegate.h"
#include "framework/plugin_setup.h"
#include "rack/dsp/engine_settings.h"

namespace tarnwell {

enum GlobalParam : int32_t { kInputParam = 0, kOutputParam = 1, kSafetyParam = 2 };

// The five columns of a bay, in index order.
enum class BayField : int32_t { On = 0, Effect = 1, Character = 2, Amount = 3, Solo = 4 };

inline constexpr int32_t kFirstBayParam = 3;
inline constexpr int32_t kParamsPerBay = 5;
inline constexpr int32_t kParamCount = kFirstBayParam + kParamsPerBay * dsp::kBayCount;
inline constexpr int32_t kCharacterCount = 16;

// bay is 0-based here ("Bay 1" is bay 0).
constexpr int32_t BayParam(int32_t bay, BayField field) {
  return kFirstBayParam + kParamsPerBay * bay + static_cast<int32_t>(field);
}

static_assert(kParamCount == 53);
static_assert(BayParam(9, BayField::Solo) == 52);

plugkit::PluginSetup TarnwellSetup();

// Sets up every parameter of the delegate (which must have kParamCount of them) and gives
// each its default value.
void DefineParameters(plugkit::IEditorDelegate& delegate);

}  // namespace tarnwell
