#pragma once
// What the simulator's JSON profiles share: a unit profile file and a lot
// profile, which holds a unit profile as its base, are read alike and name a
// bad key alike. Each message begins with `what` ("unit profile", "lot
// profile").

#include <atomic>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "base/Result.h"
#include "sim/UnitProfile.h"

namespace orvalt {

// The text of a profile file (a regular file of at most 1 MB), or
// "WHAT: can't open PATH: REASON".
Result<std::string> ReadProfileFile(const std::filesystem::path& path, std::string_view what,
                                    const std::atomic<bool>* stop);

// The JSON object the text holds, or "WHAT: not valid JSON" or
// "WHAT: must be a JSON object".
Result<nlohmann::json> ParseProfileObject(std::string_view json, std::string_view what);

// A key as a message names it: a long one is cut, so that a runaway key
// cannot fill the operator's screen.
std::string ShownKey(const std::string& key);

// Sets the profile's field for each key of `object`. Empty when every key was
// read; otherwise the first bad key and what is wrong with it
// ("\"levels\" must be an array of 4 voltages", "unknown key \"x\"").
std::string ReadUnitProfileKeys(const nlohmann::json& object, UnitProfile& profile);

}  // namespace orvalt
