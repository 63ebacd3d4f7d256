#pragma once
// Unit profiles for the simulator, read from JSON. Every key is optional; an
// unknown key, a wrong type or an unusable value is an error naming the key.

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "sim/UnitProfile.h"

namespace orvalt {

struct UnitProfileResult {
    std::optional<UnitProfile> profile;
    std::string error;
};

UnitProfileResult ParseUnitProfile(std::string_view json);
UnitProfileResult LoadUnitProfile(const std::filesystem::path& path,
                                  const std::atomic<bool>* stop = nullptr);

}  // namespace orvalt
