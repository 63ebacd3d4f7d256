#pragma once
// Lot profiles for the simulator, read from JSON: the base unit (a unit
// profile's keys), the lot's seed, one drift and the noise. Every key but the
// drift's figure and step is optional; an unknown key, a wrong type or an
// unusable value is an error naming the key, and where it stands.

#include <atomic>
#include <filesystem>
#include <string_view>

#include "base/Result.h"
#include "sim/LotProfile.h"

namespace orvalt {

Result<LotProfile> ParseLotProfile(std::string_view json);
Result<LotProfile> LoadLotProfile(const std::filesystem::path& path,
                                  const std::atomic<bool>* stop = nullptr);

}  // namespace orvalt
