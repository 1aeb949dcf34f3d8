// Which host loaded us, told apart by its application name. A few hosts need special
// handling elsewhere (buses, state reading, keys); they test the number this gives.
#pragma once

#include <cstdint>

namespace plugkit {

using HostId = int32_t;

inline constexpr HostId kHostNotIdentified = -1;
inline constexpr HostId kHostUnknown = 0;

// The number of the first table entry whose text the name contains, ignoring ASCII letter
// case; only the first 255 characters of the name take part. kHostUnknown when none does,
// and for a null or empty name.
HostId IdentifyHost(const char* name) noexcept;

}  // namespace plugkit
