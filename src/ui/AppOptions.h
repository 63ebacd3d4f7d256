#pragma once
// The command line of the window program: which device it works with.
//   orvalt               the LabJack U3 on USB
//   orvalt --simulate    the simulated U3 and unit, in real time, with the
//                        simulated driver's diagnostic port in the port list
//   orvalt --simulate --unit FILE   the simulated unit described in FILE (JSON)
//   orvalt --fixture NAME           the fixture NAME: its own settings, U3,
//                                   title and default file names
// For screenshots and demonstrations, and only on the simulator, the window
// can press its own buttons once it is shown: --open-diag opens the simulated
// driver's diagnostic port, --load-plan FILE loads that plan and --start then
// presses Start. The station reads no environment variables of its own: a
// stray one must never press Start on a production unit.

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
