// The parameter list the page receives after every load: {"id":"params","params":[...]}.
#pragma once

#include <cstdint>
#include <string>

#include "framework/core/param.h"

namespace plugkit {

// Each parameter's own JSON description, parsed and written out again compactly (keys in
// sorted order, "0.000000" as 0.0). A description that does not parse is left out rather
// than breaking the list. Never throws; "" only when memory ran out.
std::string ParamListJson(const IParam* const* params, int32_t count) noexcept;

}  // namespace plugkit
