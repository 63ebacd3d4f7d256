#include "cli/CliOptions.h"

#include "station/StationRecording.h"

#include <charconv>
#include <functional>
#include <map>

#include "cli/RecordsCommandParts.h"
#include "config/FixtureName.h"
#include "domain/PrintableText.h"

namespace orvalt {

const char* const kCliUsage =
    "usage: orvalt-cli [options] PLAN.csv\n"
    "  --simulate              use the simulated U3 and unit (default: the real device)\n"
    "  --unit FILE             unit profile for the simulator (JSON)\n"
    "  --fast                  virtual time (only with --simulate)\n"
    "  --option N              Time-to-OFF option index 0..15 (default: the setting)\n"
    "  --extra-log             as the Extra Log check box\n"
    "  --do-output5            as the Do Output 5 check box\n"
    "  --manufacturer TEXT     --model TEXT  --type TEXT  --power TEXT  --size TEXT\n"
    "  --driver-manufacturer TEXT  --driver-model TEXT\n"
    "                          the unit description (default: the settings)\n"
    "  --save FILE             after the run, save the test data to FILE\n"
    "  --trace                 also print every Wait and Status update\n"
    "  --diag PORT             open the diagnostic link on PORT (a device path)\n"
    "  --no-diag               no diagnostic lines from the simulated driver\n"
    "  --fixture NAME          use the settings of fixture NAME (default: the station's own)\n"
    "  --list-ports            list the serial ports the window offers, with the\n"
    "                          CommPort number of each (- for none), and end\n"
    "  --version               show the version and end\n"
    "  --limits FILE           judge each test against a limits file; VERDICT lines\n"
    "                          after the log, exit 5 when a limit failed\n"
    "  --quiet                 no status line on a terminal\n"
    "  --serial TEXT           the unit's serial number (at most 127 characters), recorded\n"
    "  --db URL                record the run there: a SQLite file or a postgresql:// URL\n"
    "                          (default: the ResultsDatabase setting, else the local file)\n"
    "  --no-record             do not record the run\n"
    "usage: orvalt-cli --list-devices [--simulate] [--fixture NAME]\n"
    "                          list the U3s present with their serial numbers\n";

namespace {

using Flag = std::function<void(CliOptions&)>;
using Valued = std::function<bool(CliOptions&, const std::string&)>;

const std::map<std::string, Flag>& Flags() {
    static const std::map<std::string, Flag> flags{
        {"--simulate", [](CliOptions& o) { o.simulate = true; }},
        {"--fast", [](CliOptions& o) { o.fast = true; }},
        {"--extra-log", [](CliOptions& o) { o.extraLog = true; }},
        {"--do-output5", [](CliOptions& o) { o.doOutput5 = true; }},
        {"--trace", [](CliOptions& o) { o.trace = true; }},
        {"--no-diag", [](CliOptions& o) { o.noDiag = true; }},
        {"--list-devices", [](CliOptions& o) { o.listDevices = true; }},
        {"--quiet", [](CliOptions& o) { o.quiet = true; }},
        {"--no-record", [](CliOptions& o) { o.noRecord = true; }},
    };
    return flags;
}

bool ParseOption(CliOptions& o, const std::string& text) {
    int value = 0;
    const auto end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end) {
        return false;
    }
    o.ttoOption = value;
    return true;
}

Valued Text(std::optional<std::string> CliOptions::*field) {
    return [field](CliOptions& o, const std::string& v) {
        o.*field = v;
        return true;
    };
}

Valued Path(std::string CliOptions::*field) {
    return [field](CliOptions& o, const std::string& v) {
        o.*field = v;
        return !v.empty();
    };
}

bool ParseFixture(CliOptions& o, const std::string& name) {
    o.fixture = name;
    return FixtureNameError(name).empty();
}

bool ParseSerial(CliOptions& o, const std::string& text) {
    o.serial = text;
    return text.size() <= kMaxSerialLength;
}

bool ParseDb(CliOptions& o, const std::string& text) {
    o.db = text;
    return !text.empty() && DatabaseValidator(text).empty();
}

const std::map<std::string, Valued>& ValuedOptions() {
    static const std::map<std::string, Valued> options{
        {"--unit", Path(&CliOptions::unitProfilePath)},
        {"--option", ParseOption},
        {"--manufacturer", Text(&CliOptions::manufacturer)},
        {"--model", Text(&CliOptions::model)},
        {"--type", Text(&CliOptions::type)},
        {"--power", Text(&CliOptions::power)},
        {"--size", Text(&CliOptions::size)},
        {"--driver-manufacturer", Text(&CliOptions::driverManufacturer)},
        {"--driver-model", Text(&CliOptions::driverModel)},
        {"--save", Path(&CliOptions::savePath)},
        {"--diag", Path(&CliOptions::diagPort)},
        {"--fixture", ParseFixture},
        {"--limits", Path(&CliOptions::limitsPath)},
        {"--serial", ParseSerial},
        {"--db", ParseDb},
    };
    return options;
}

// A fixture name and a database say what is wrong with them instead of being
// repeated: a fixture name was refused for what it holds, a database URL may
// hold a password. Other values are shown as a terminal can take them.
std::string BadValueText(const std::string& option, const std::string& value) {
    if (option == "--fixture") {
        return "bad value for --fixture: " + FixtureNameError(value);
    }
    if (option == "--db") {
        return "bad value for --db: " +
               (value.empty() ? "no database named" : DatabaseValidator(value));
    }
    return "bad value for " + option + ": " + PrintableText(value);
}

CliParseResult Fail(std::string error) {
    return CliParseResult{std::nullopt, std::move(error)};
}

std::string CheckCombination(const CliOptions& o) {
    if (o.listDevices) {
        return o.planPath.empty() ? "" : "--list-devices runs no test plan";
    }
    if (o.planPath.empty()) {
        return "no test plan file given";
    }
    if (o.fast && !o.simulate) {
        return "--fast needs --simulate";
    }
    if (!o.unitProfilePath.empty() && !o.simulate) {
        return "--unit needs --simulate";
    }
    if (o.db && o.noRecord) {
        return "--db and --no-record contradict each other";
    }
    return "";
}

}  // namespace

CliParseResult ParseCliOptions(const std::vector<std::string>& args) {
    CliOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h" || arg == "--help") {
            return CliParseResult{std::nullopt, "", true};
        }
        if (arg == "--version" || arg == "--list-ports") {
            return CliParseResult{std::nullopt, "", false, arg == "--version",
                                  arg == "--list-ports"};
        }
        if (auto flag = Flags().find(arg); flag != Flags().end()) {
            flag->second(options);
        } else if (auto valued = ValuedOptions().find(arg); valued != ValuedOptions().end()) {
            if (i + 1 >= args.size()) {
                return Fail(arg + " needs a value");
            }
            if (!valued->second(options, args[++i])) {
                return Fail(BadValueText(arg, args[i]));
            }
        } else if (arg.starts_with("--") || !options.planPath.empty()) {
            return Fail("unexpected argument: " + PrintableText(arg));
        } else {
            options.planPath = arg;
        }
    }
    if (std::string error = CheckCombination(options); !error.empty()) {
        return Fail(error);
    }
    return CliParseResult{options, ""};
}

}  // namespace orvalt
