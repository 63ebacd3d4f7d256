#pragma once
// The command line of the window program: which device it works with.
//   orvalt               the LabJack U3 on USB
//   orvalt --simulate    the simulated U3 and unit, in real time, with the
//                        simulated driver's diagnostic port in the port list
//   orvalt --simulate --unit FILE   the simulated unit described in FILE (JSON)
//   orvalt --fixture NAME           the fixture NAME: its own settings, U3,
//                                   title and default file names
// Three variables drive the window for automation (screenshots, demos): once
// the window is shown, ORVALT_AUTODIAG=1 presses the diagnostic port's Open,
// ORVALT_AUTOPLAN=FILE loads that plan, and ORVALT_AUTOSTART=1 then presses
// Start.

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
    std::string error;  // set when options is empty and help was not asked for
    bool helpRequested = false;
};

// `args` without the program name and without the toolkit's own options.
AppOptionsResult ParseAppOptions(const std::vector<std::string>& args);

// Takes the automation variables' values (null: unset).
struct AutomationVariables {
    const char* autoDiag = nullptr;
    const char* autoPlan = nullptr;
    const char* autoStart = nullptr;
};
void ApplyAutomation(AppOptions& options, const AutomationVariables& variables);

extern const char* const kAppUsage;

}  // namespace orvalt
