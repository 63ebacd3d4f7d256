#pragma once
// Where the limits file the operator last loaded is remembered: the value
// "File" (REG_SZ, the path's bytes) of the key
//   HKEY_CURRENT_USER\Software\Kestrune\Orvalt\Limits
// a key of its own beside Location, which keeps exactly its 38 values. A path
// has no length limit here, unlike the texts of Location.

#include <filesystem>
#include <string_view>

#include "config/RegistryStore.h"

namespace orvalt {

inline constexpr std::string_view kLimitsKey = "Software\\Kestrune\\Orvalt\\Limits";
inline constexpr std::string_view kLimitsFileValue = "File";

// The remembered path; empty when none is stored or the stored value is not a
// text (the station then starts without limits).
std::filesystem::path LoadLimitsPath(RegistryStore& store);

// Remembers `path`; an empty path forgets the limits. Written to the file at once.
RegStatus SaveLimitsPath(RegistryStore& store, const std::filesystem::path& path);

}  // namespace orvalt
