// The maker every module and plug-in of the product names: in the factory information a host
// lists, and in each plug-in's set-up.
#pragma once

namespace tarnwell {

inline constexpr char kVendorName[] = "TarnwellAudio";
inline constexpr char kVendorUrl[] = "https://tarnwell.example";
inline constexpr char kVendorEmail[] = "mailto:support@tarnwell.example";
// The four-character manufacturer id inside each class id.
inline constexpr char kVendorId[] = "TwAu";

}  // namespace tarnwell
