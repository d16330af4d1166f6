// Who the plug-in is, in every format: its name and its vendor's.
#pragma once

namespace tesk {

inline constexpr const char* kProductName = "TeskDelay";
inline constexpr const char* kVendorName = "Velmora";

} // namespace tesk
