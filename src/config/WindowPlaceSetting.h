#pragma once
// Where each fixture's window was when it closed, so that windows of several
// fixtures on one screen each open in their own place: the values "X", "Y",
// "Width" and "Height" (REG_DWORD, pixels; X and Y may be negative) of the key
//   HKEY_CURRENT_USER\Software\Kestrune\Orvalt\Fixtures\NAME\Window
// or, for the station without a fixture name, ...\Orvalt\Window.

#include <optional>
#include <string>
#include <string_view>

#include "config/RegistryStore.h"

namespace orvalt {

struct WindowPlace {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

std::string WindowPlaceKey(std::string_view fixture);

// Nothing when no place is stored or a value is missing or not a number.
std::optional<WindowPlace> LoadWindowPlace(RegistryStore& store, std::string_view fixture);
RegStatus SaveWindowPlace(RegistryStore& store, std::string_view fixture, const WindowPlace& place);

}  // namespace orvalt
