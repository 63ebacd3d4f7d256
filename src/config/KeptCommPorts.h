#pragma once
// The diagnostic ports the other stations of this PC keep in the shared
// settings file: the CommPort of Location and of every fixture under
// "...\Orvalt\Fixtures" but one's own, so that a fixture that has kept no
// port yet does not pick one of theirs.

#include <cstdint>
#include <string_view>
#include <vector>

#include "config/RegistryStore.h"

namespace orvalt {

// The kept CommPort numbers, 0 (no port kept) left out; `fixture` is the
// asking fixture's own name (empty: the station without a name).
std::vector<std::int32_t> CommPortsKeptByOthers(RegistryStore& store, std::string_view fixture);

}  // namespace orvalt
