#pragma once
// The command line of the window program: which device it works with.
//   orvalt               the LabJack U3 on USB
//   orvalt --simulate    the simulated U3 and unit, in real time, with the
//                        simulated driver's diagnostic port in the port list
//   orvalt --simulate --unit FILE   the simulated unit described in FILE (JSON)
// Two variables drive the window for automation (screenshots, demos):
// ORVALT_AUTOPLAN=FILE loads that plan once the window is shown, and
// ORVALT_AUTOSTART=1 then presses Start.

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "sim/UnitProfile.h"

namespace orvalt {

struct AppOptions {
    bool simulate = false;
    UnitProfile unit;
    std::filesystem::path autoPlan;
    bool autoStart = false;
};

struct AppOptionsResult {
    std::optional<AppOptions> options;
    std::string error;  // set when options is empty and help was not asked for
    bool helpRequested = false;
};

// `args` without the program name and without the toolkit's own options.
AppOptionsResult ParseAppOptions(const std::vector<std::string>& args);

// Takes ORVALT_AUTOPLAN and ORVALT_AUTOSTART from the given values (null: unset).
void ApplyAutomation(AppOptions& options, const char* autoPlan, const char* autoStart);

extern const char* const kAppUsage;

}  // namespace orvalt
