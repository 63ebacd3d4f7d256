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
// What makes two database texts the same database: a server's user, host,
// port and database name (never its password), a file's canonical path.
std::string DatabaseIdentity(std::string_view database);

// The spool of records waiting for `database`, in the data folder: one per
// database, named after its identity, so that records spooled for one never
// reach another when the setting changes while they wait, and records spooled
// under a wrong password reach the server once the password is put right.
std::filesystem::path DefaultResultsSpool(std::string_view database);
// The name the spool had before it was named after the identity: after the
// text as written.
std::filesystem::path EarlierResultsSpool(std::string_view database);

// --db first, then the setting, then the default file.
std::string ChooseResultsDatabase(const std::optional<std::string>& commandLine,
                                  const std::string& setting);

}  // namespace orvalt
