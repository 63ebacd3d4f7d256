#pragma once
// The command line of orvalt-cli, the headless runner.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace orvalt {

struct CliOptions {
    std::string planPath;
    bool simulate = false;
    std::string unitProfilePath;  // empty: the healthy default unit
    bool fast = false;
    std::optional<int> ttoOption;  // empty: the TTOTestOption setting
    bool extraLog = false;
    bool doOutput5 = false;
    // Description texts given on the command line; empty optional: the setting.
    std::optional<std::string> manufacturer, model, type, power, size, driverManufacturer,
        driverModel;
    std::string savePath;  // empty: no save
    bool trace = false;
    bool noDiag = false;
    std::string diagPort;      // empty: no diagnostic link on a real port
    std::string fixture;       // empty: the station without a fixture name
    bool listDevices = false;  // list the U3s present instead of running a plan
    std::string limitsPath;    // empty: no verdicts
    bool quiet = false;        // no status line on a terminal
    // Not an option: set when stderr is a terminal and --quiet was not given.
    bool statusLine = false;
    std::string serial;  // the unit's serial number, for the run record only
    // Where the run is recorded: a SQLite file or a postgresql:// URL; empty
    // optional: the ResultsDatabase setting, else the default file.
    std::optional<std::string> db;
    bool noRecord = false;
};

struct CliParseResult {
    std::optional<CliOptions> options;
    std::string error;  // set when options is empty and nothing else was asked
    bool helpRequested = false;
    bool versionRequested = false;
    bool listPortsRequested = false;
};

CliParseResult ParseCliOptions(const std::vector<std::string>& args);

extern const char* const kCliUsage;

}  // namespace orvalt
