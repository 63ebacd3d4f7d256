#pragma once
// The line's rule for serial numbers: the value "RequireSerialNumber"
// (REG_DWORD, 0 or 1) of the key
//   HKEY_CURRENT_USER\Software\Kestrune\Orvalt\Shift
// a key of its own beside Location, which keeps exactly its 38 values. With 1,
// the window refuses Start while its Serial Number edit is empty.

#include <string_view>

#include "config/RegistryStore.h"

namespace orvalt {

inline constexpr std::string_view kShiftKey = "Software\\Kestrune\\Orvalt\\Shift";
inline constexpr std::string_view kRequireSerialValue = "RequireSerialNumber";

// False when the value is missing, not a REG_DWORD, or 0.
bool LoadSerialRequired(RegistryStore& store);
RegStatus SaveSerialRequired(RegistryStore& store, bool required);

}  // namespace orvalt
