#pragma once
// The command line of orvalt-cli, read by one parser: the run of a plan (the
// options below), or a records command named by the first word (history,
// yield, report) with options of its own.

#include <cstddef>
#include <functional>
#include <optional>
#include <ostream>
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
    // Who tests (empty: the login name) and the lot or work order; the record
    // only, like the serial number.
    std::string operatorName;
    std::string lot;
    // Where the run is recorded: a SQLite file or a postgresql:// URL; empty
    // optional: the ResultsDatabase setting, else the default file.
    std::optional<std::string> db;
    bool noRecord = false;
    // A production lot on the simulator: each of `units` units of the lot
    // profile runs the plan once, under the serial number `serialPrefix`
    // followed by its number (SN-0001, SN-0002, ...). Empty: one run of one unit.
    std::string lotProfilePath;
    std::optional<int> units;
    std::optional<std::string> serialPrefix;
};

// The most units one lot runs.
constexpr int kMaxLotUnits = 1000000;

// What the lot's serial numbers begin with.
inline std::string LotSerialPrefix(const CliOptions& options) {
    return options.serialPrefix.value_or("SN-");
}

// A records command, its options read: does its work and gives the exit status.
using RecordsCommand = std::function<int(std::ostream& out, std::ostream& err)>;

struct CliParseResult {
    std::optional<CliOptions> options;  // a run, or --list-devices
    std::string error;                  // set when options is empty and nothing else was asked
    bool helpRequested = false;
    bool versionRequested = false;
    bool listPortsRequested = false;
    RecordsCommand records;  // set when a records command was read
    std::string command;     // the records command named first, empty for the run
    std::string help;        // when help was asked: the help of the command named
};

CliParseResult ParseCliOptions(const std::vector<std::string>& args);

// A command line that asks for help or is wrong is answered here: the help on
// `out` (exit status 0), or the error and where the help is on `err` (2).
// Nothing for one that asks for anything else.
std::optional<int> AnswerHelpOrError(const CliParseResult& parsed, std::ostream& out,
                                     std::ostream& err);

// The records commands, by the word that names them.
bool IsRecordsCommand(const std::string& word);

}  // namespace orvalt
