#pragma once
// The colour a fixture's window wears so that two windows side by side are
// told apart at a glance: the value "AccentColour" (REG_SZ, "#RRGGBB") of the
// fixture's own key
//   HKEY_CURRENT_USER\Software\Kestrune\Orvalt\Fixtures\NAME
// Without one, each name gets a colour of a fixed set, the same at every start.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "config/RegistryStore.h"

namespace orvalt {

inline constexpr std::string_view kAccentColourValue = "AccentColour";

// "#RRGGBB" as 0xRRGGBB; nothing for any other text.
std::optional<std::uint32_t> ParseAccent(std::string_view text);
// The colour of the fixed set for this name.
std::uint32_t DefaultAccent(std::string_view fixture);
// The stored colour when it reads as one, else the name's own.
std::uint32_t LoadFixtureAccent(RegistryStore& store, std::string_view fixture);
RegStatus SaveFixtureAccent(RegistryStore& store, std::string_view fixture, std::uint32_t rgb);

}  // namespace orvalt
