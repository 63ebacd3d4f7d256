#pragma once
// Where the station keeps its data files, by the XDG rules: the results database
// and the spool that holds records while a results server is away.

#include <filesystem>

namespace orvalt {

// $XDG_DATA_HOME/Kestrune/Orvalt, else $HOME/.local/share/Kestrune/Orvalt, else
// below the home folder of the user's account entry. Empty when there is no home
// folder at all.
std::filesystem::path StationDataFolder();

// The same rule over given variable values (either may be null); relative values
// are ignored, as the XDG rules ask.
std::filesystem::path StationDataFolderFrom(const char* xdgDataHome, const char* home);

}  // namespace orvalt
