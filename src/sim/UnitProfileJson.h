#pragma once
// Unit profiles for the simulator, read from JSON. Every key is optional; an
// unknown key, a wrong type or an unusable value is an error naming the key.

#include <atomic>
#include <filesystem>
#include <string_view>

#include "base/Result.h"
#include "sim/UnitProfile.h"

namespace orvalt {

Result<UnitProfile> ParseUnitProfile(std::string_view json);
Result<UnitProfile> LoadUnitProfile(const std::filesystem::path& path,
                                    const std::atomic<bool>* stop = nullptr);

}  // namespace orvalt
