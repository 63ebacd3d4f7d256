#pragma once
// Where the window keeps the size of its light-level plot panel between runs:
// the values "Width" and "Height" (REG_DWORD, pixels) of the key
//   HKEY_CURRENT_USER\Software\Kestrune\Orvalt\Plot
// a key of its own beside Location, which keeps exactly its 38 values.

#include <optional>
#include <string_view>

#include "config/RegistryStore.h"

namespace orvalt {

inline constexpr std::string_view kPlotPanelKey = "Software\\Kestrune\\Orvalt\\Plot";

struct PanelSize {
    int width = 0;
    int height = 0;
};

// Nothing when no size is stored, or a stored value is not a number.
std::optional<PanelSize> LoadPlotPanelSize(RegistryStore& store);
RegStatus SavePlotPanelSize(RegistryStore& store, PanelSize size);

}  // namespace orvalt
