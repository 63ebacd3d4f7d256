#pragma once
// The command line of the window program: the U3 on USB, or --simulate (with
// --unit FILE), and --fixture NAME. On the simulator alone --open-diag,
// --load-plan FILE and --start press the window's own buttons, for screenshots.
// No environment variable presses anything: a stray one must never press Start
// on a production unit. More: docs/design/window.md.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sim/UnitProfile.h"

namespace orvalt {

struct AppOptions {
    bool simulate = false;
    UnitProfile unit;
    std::string fixture;  // empty: the station without a fixture name
    std::filesystem::path autoPlan;
    bool autoStart = false;
    bool autoDiag = false;
};

struct AppOptionsResult {
    std::optional<AppOptions> options;
    // Set when options is empty and neither help nor the version was asked for.
    std::string error;
    bool helpRequested = false;
    bool versionRequested = false;
};

// `args` without the program name and without the toolkit's own options.
AppOptionsResult ParseAppOptions(const std::vector<std::string>& args);

extern const char* const kAppUsage;

}  // namespace orvalt
