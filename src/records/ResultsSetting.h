#pragma once
// Where results go: the ResultsDatabase setting under its own key beside
// Location, a --db option that overrides it, and the embedded default.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "config/RegistryStore.h"

namespace orvalt {

inline constexpr std::string_view kResultsKey = "Software\\Kestrune\\Orvalt\\Results";
inline constexpr std::string_view kResultsDatabaseValue = "ResultsDatabase";

// The stored setting; empty when it is not set or not a text.
std::string LoadResultsDatabaseSetting(RegistryStore& store);
// Writes the setting (and the file, as closing the key does).
RegStatus SaveResultsDatabaseSetting(RegistryStore& store, std::string_view target);

// The default file: results.sqlite in the station's data folder.
std::filesystem::path DefaultResultsDatabase();
// The spool of records waiting for `database`, in the data folder: one per
// database, so that records spooled for one never reach another when the
// setting changes while they wait.
std::filesystem::path DefaultResultsSpool(std::string_view database);

// --db first, then the setting, then the default file.
std::string ChooseResultsDatabase(const std::optional<std::string>& commandLine,
                                  const std::string& setting);

}  // namespace orvalt
