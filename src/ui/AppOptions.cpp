#include "ui/AppOptions.h"

#include <string_view>

#include "config/FixtureName.h"
#include "sim/UnitProfileJson.h"

namespace orvalt {

const char* const kAppUsage =
    "Usage: orvalt [--fixture NAME] [--simulate [--unit FILE] [--open-diag] [--load-plan FILE "
    "[--start]]]\n"
    "  --fixture NAME    work as fixture NAME, with its own settings and U3\n"
    "  --simulate        work with the simulated U3 and unit instead of a LabJack U3\n"
    "  --unit FILE       the simulated unit's profile (JSON); needs --simulate\n"
    "  --open-diag       once shown, open the simulated driver's diagnostic port\n"
    "  --load-plan FILE  once shown, load this test plan\n"
    "  --start           then press Start; the three need --simulate\n"
    "  --version         show the version\n"
    "  --help            show this text\n";

namespace {

// The command line as read, before the unit file is loaded and the
// combination is checked.
struct ReadArguments {
    AppOptions options;
    std::optional<std::string> unitFile;
    std::optional<std::string> planFile;
};

std::optional<std::string> ReadUnit(AppOptions& options, const std::string& file) {
    const Result<UnitProfile> unit = LoadUnitProfile(file);
    if (!unit) {
        return unit.Error();
    }
    options.unit = *unit;
    return std::nullopt;
}

std::optional<std::string> ReadFixture(AppOptions& options, const std::string& name) {
    const std::string error = FixtureNameError(name);
    if (!error.empty()) {
        return "bad value for --fixture: " + error;
    }
    options.fixture = name;
    return std::nullopt;
}

// Takes a value argument at args[i + 1]; an error text when there is none.
std::optional<std::string> TakeValue(const std::vector<std::string>& args, std::size_t& i,
                                     std::optional<std::string>& into, const char* what) {
    if (i + 1 >= args.size()) {
        return args[i] + " needs " + what;
    }
    into = args[++i];
    return std::nullopt;
}

// Reads one argument; an error text when it is not one of ours.
std::optional<std::string> ReadArgument(const std::vector<std::string>& args, std::size_t& i,
                                        ReadArguments& read) {
    const std::string_view arg = args[i];
    if (arg == "--simulate") {
        read.options.simulate = true;
    } else if (arg == "--open-diag") {
        read.options.autoDiag = true;
    } else if (arg == "--start") {
        read.options.autoStart = true;
    } else if (arg == "--unit") {
        return TakeValue(args, i, read.unitFile, "a file");
    } else if (arg == "--load-plan") {
        return TakeValue(args, i, read.planFile, "a file");
    } else if (arg == "--fixture") {
        std::optional<std::string> name;
        if (auto error = TakeValue(args, i, name, "a name")) {
            return error;
        }
        return ReadFixture(read.options, *name);
    } else {
        return "unknown argument: " + args[i];
    }
    return std::nullopt;
}

// Automation presses buttons with no operator there: never on a real device.
std::optional<std::string> CheckCombination(const ReadArguments& read) {
    const AppOptions& o = read.options;
    if (read.unitFile && !o.simulate) {
        return "--unit needs --simulate";
    }
    if ((o.autoDiag || o.autoStart || read.planFile) && !o.simulate) {
        return "--open-diag, --load-plan and --start need --simulate";
    }
    if (o.autoStart && !read.planFile) {
        return "--start needs --load-plan";
    }
    return std::nullopt;
}

std::optional<std::string> Complete(ReadArguments& read) {
    if (auto error = CheckCombination(read)) {
        return error;
    }
    if (read.planFile) {
        read.options.autoPlan = *read.planFile;
    }
    return read.unitFile ? ReadUnit(read.options, *read.unitFile) : std::nullopt;
}

}  // namespace

AppOptionsResult ParseAppOptions(const std::vector<std::string>& args) {
    AppOptionsResult result;
    ReadArguments read;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--help" || args[i] == "-h") {
            result.helpRequested = true;
            return result;
        }
        if (args[i] == "--version") {
            result.versionRequested = true;
            return result;
        }
        if (auto error = ReadArgument(args, i, read)) {
            result.error = *error;
            return result;
        }
    }
    if (auto error = Complete(read)) {
        result.error = *error;
        return result;
    }
    result.options = std::move(read.options);
    return result;
}

}  // namespace orvalt
