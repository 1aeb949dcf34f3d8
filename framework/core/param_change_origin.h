// Who caused a parameter change; passed with every parameter notification.
#pragma once

#include <cstdint>

namespace plugkit {

enum class ParamChangeOrigin : int32_t { Reset = 0, Host = 1, Preset = 2, UI = 3, EditorDelegate = 4 };

}  // namespace plugkit
