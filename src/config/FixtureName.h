#pragma once
// A fixture's name is a part of a registry key path (below "...\Orvalt\Fixtures")
// and of the default names of its result files, so it must be something both
// can hold.

#include <cstddef>
#include <string>
#include <string_view>

namespace orvalt {

inline constexpr std::size_t kMaxFixtureNameLength = 100;

// Why `name` can't name a fixture, in words fit for the operator; empty when it
// can. Refused: an empty name, a backslash (it would split the key), a control
// character (the settings file could not hold it), more than 100 characters.
std::string FixtureNameError(std::string_view name);

// The fixture's own key, "Software\Kestrune\Orvalt\Fixtures\NAME".
std::string FixtureKeyPath(std::string_view name);

}  // namespace orvalt
