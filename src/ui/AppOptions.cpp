#include "ui/AppOptions.h"

#include <string_view>

#include "config/FixtureName.h"
#include "sim/UnitProfileJson.h"

namespace orvalt {

const char* const kAppUsage =
    "Usage: orvalt [--fixture NAME] [--simulate [--unit FILE]]\n"
    "  --fixture NAME  work as fixture NAME, with its own settings and U3\n"
    "  --simulate    work with the simulated U3 and unit instead of a LabJack U3\n"
    "  --unit FILE   the simulated unit's profile (JSON); needs --simulate\n"
    "  --help        show this text\n";

namespace {

std::optional<std::string> ReadUnit(AppOptions& options, const std::string& file) {
    UnitProfileResult unit = LoadUnitProfile(file);
    if (!unit.profile) {
        return unit.error;
    }
    options.unit = *unit.profile;
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

std::string MissingValueError(std::string_view option) {
    return std::string(option) + (option == "--unit" ? " needs a file" : " needs a name");
}

}  // namespace

AppOptionsResult ParseAppOptions(const std::vector<std::string>& args) {
    AppOptionsResult result;
    AppOptions options;
    std::optional<std::string> unitFile;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") {
            result.helpRequested = true;
            return result;
        }
        if (arg == "--simulate") {
            options.simulate = true;
        } else if (arg == "--unit" && i + 1 < args.size()) {
            unitFile = args[++i];
        } else if (arg == "--fixture" && i + 1 < args.size()) {
            if (auto error = ReadFixture(options, args[++i])) {
                result.error = *error;
                return result;
            }
        } else {
            const bool lacksValue = arg == "--unit" || arg == "--fixture";
            result.error = lacksValue ? MissingValueError(arg) : "unknown argument: " + args[i];
            return result;
        }
    }
    if (unitFile && !options.simulate) {
        result.error = "--unit needs --simulate";
        return result;
    }
    if (unitFile) {
        if (auto error = ReadUnit(options, *unitFile)) {
            result.error = *error;
            return result;
        }
    }
    result.options = std::move(options);
    return result;
}

void ApplyAutomation(AppOptions& options, const AutomationVariables& variables) {
    const auto isOn = [](const char* value) {
        return value != nullptr && std::string_view(value) == "1";
    };
    if (variables.autoPlan != nullptr && *variables.autoPlan != '\0') {
        options.autoPlan = variables.autoPlan;
    }
    options.autoStart = isOn(variables.autoStart);
    options.autoDiag = isOn(variables.autoDiag);
}

}  // namespace orvalt
