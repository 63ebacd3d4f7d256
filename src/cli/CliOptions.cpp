#include "cli/CliOptions.h"

#include <CLI/CLI.hpp>
#include <map>
#include <utility>

#include "cli/ExitStatus.h"
#include "cli/LotRun.h"
#include "cli/RecordsCommandParts.h"
#include "cli/WholeNumberText.h"
#include "config/FixtureName.h"
#include "domain/PrintableText.h"
#include "domain/Utf8.h"
#include "station/StationRecording.h"

namespace orvalt {

namespace {

constexpr const char* kDescription =
    "orvalt-cli runs a test plan on the station without a window and prints its log; history,\n"
    "yield, pareto, report, export, rejudge and spc look back at the recorded runs; verify checks\n"
    "their seals; alarms lists the open drift alarms and acknowledges them; settings shows\n"
    "and changes the settings (orvalt-cli COMMAND --help).\n";

constexpr const char* kListDevicesUsage =
    "usage: orvalt-cli --list-devices [--simulate] [--fixture NAME]\n"
    "  lists the U3s present with their serial numbers\n\n";

constexpr const char* kLotUsage =
    "usage: orvalt-cli --simulate [--fast] --lot-profile LOT.json --units N\n"
    "                  [--serial-prefix TEXT] [options] PLAN.csv\n"
    "  runs the plan once a unit on N simulated units of a production lot, serial numbers\n"
    "  SN-0001, SN-0002, ... (or TEXT0001, ...); each unit's log begins with\n"
    "  \"UNIT n of N: SERIAL\", each run is recorded, and \"LOT: ...\" ends the output\n\n";

// The program's usage shows its two forms: a records command is named first.
class RunnerHelp final : public CLI::Formatter {
  public:
    std::string make_usage(const CLI::App* app, std::string name) const override {
        if (app->get_parent() != nullptr) {
            return CLI::Formatter::make_usage(app, std::move(name));
        }
        return "Usage: orvalt-cli [OPTIONS] PLAN.csv\n"
               "       orvalt-cli history|yield|pareto|report|export|rejudge|verify|spc|alarms\n"
               "                  [OPTIONS]\n"
               "       orvalt-cli settings get|set|list [KEY] [VALUE]\n";
    }
};

// What --version and --list-ports ask for: an answer instead of a run.
struct Answers {
    bool version = false;
    bool listPorts = false;
};

// A value as the refusal shows it; a message must never be empty, or the
// value would pass.
std::string Shown(const std::string& value) {
    return value.empty() ? std::string("nothing given") : PrintableText(value);
}

// A value refused for what it is: the message repeats it.
CLI::Validator Refusing(bool (*valid)(const std::string&)) {
    return CLI::Validator([valid](std::string& value) { return valid(value) ? "" : Shown(value); },
                          "");
}

// A value refused for a reason of its own, which the message gives instead of
// the value: a fixture name for what it holds, a database URL that may hold a
// password.
CLI::Validator Explaining(std::string (*why)(const std::string&)) {
    return CLI::Validator([why](std::string& value) { return why(value); }, "");
}

bool WholeNumber(const std::string& text) {
    return WholeNumberIn<int>(text).has_value();
}

bool NotEmpty(const std::string& text) {
    return !text.empty();
}

// The serial number, the operator and the lot: as long as the window's edits,
// which count characters, not the bytes that encode them.
bool RecordTextFits(const std::string& text) {
    return Utf8CharacterCount(text) <= kMaxSerialLength;
}

std::string FixtureRefusal(const std::string& name) {
    return FixtureNameError(name);
}

std::string DatabaseRefusal(const std::string& text) {
    return text.empty() ? std::string("no database named") : DatabaseValidator(text);
}

void AddDescriptionOptions(CLI::App& app, CliOptions& o) {
    const std::pair<const char*, std::optional<std::string>*> texts[] = {
        {"--manufacturer", &o.manufacturer},
        {"--model", &o.model},
        {"--type", &o.type},
        {"--power", &o.power},
        {"--size", &o.size},
        {"--driver-manufacturer", &o.driverManufacturer},
        {"--driver-model", &o.driverModel}};
    for (const auto& [name, field] : texts)
        app.add_option(name, *field, "the unit description (default: the settings)")
            ->type_name("TEXT");
}

// An option with a value, checked as it is read.
template <class Field>
void AddChecked(CLI::App& app, const char* name, Field& field, const char* type,
                CLI::Validator check, const char* help) {
    app.add_option(name, field, help)->type_name(type)->check(std::move(check));
}

// A file or a port: any name but an empty one.
void AddPath(CLI::App& app, const char* name, std::string& field, const char* type,
             const char* help) {
    AddChecked(app, name, field, type, Refusing(NotEmpty), help);
}

void AddRunOptions(CLI::App& app, CliOptions& o, Answers& answers) {
    app.add_option("PLAN.csv", o.planPath, "the test plan to run")->type_name("");
    app.add_flag("--simulate", o.simulate, "use the simulated U3 and unit (default: the real one)");
    AddPath(app, "--unit", o.unitProfilePath, "FILE", "unit profile for the simulator (JSON)");
    app.add_flag("--fast", o.fast, "virtual time (only with --simulate)");
    AddChecked(app, "--option", o.ttoOption, "N", Refusing(WholeNumber),
               "Time-to-OFF option index 0..15 (default: the setting)");
    app.add_flag("--extra-log", o.extraLog, "as the Extra Log check box");
    app.add_flag("--do-output5", o.doOutput5, "as the Do Output 5 check box");
    AddDescriptionOptions(app, o);
    AddPath(app, "--save", o.savePath, "FILE", "after the run, save the test data to FILE");
    app.add_flag("--trace", o.trace, "also print every Wait and Status update");
    AddPath(app, "--diag", o.diagPort, "PORT", "open the diagnostic link on PORT (a device path)");
    app.add_flag("--no-diag", o.noDiag, "no diagnostic lines from the simulated driver");
    AddChecked(app, "--fixture", o.fixture, "NAME", Explaining(FixtureRefusal),
               "use the settings of fixture NAME (default: the station's own)");
    app.add_flag("--list-ports", answers.listPorts,
                 "list the serial ports the window offers with their CommPort numbers, and end");
    app.add_flag("--list-devices", o.listDevices, "list the U3s present and end (below)");
    app.add_flag("--version", answers.version, "show the version and end");
    AddPath(app, "--limits", o.limitsPath, "FILE",
            "judge each test against a limits file: VERDICT lines, exit status 5");
    app.add_flag("--quiet", o.quiet, "no status line on a terminal");
    AddChecked(app, "--serial", o.serial, "TEXT", Refusing(RecordTextFits),
               "the unit's serial number (at most 127 characters), recorded");
    AddChecked(app, "--operator", o.operatorName, "NAME", Refusing(RecordTextFits),
               "who tests (at most 127 characters; default: the login name), recorded");
    AddChecked(app, "--lot", o.lot, "TEXT", Refusing(RecordTextFits),
               "the lot or work order (at most 127 characters), recorded");
    AddChecked(app, "--db", o.db, "URL", Explaining(DatabaseRefusal),
               "record the run in a SQLite file or at a postgresql:// URL (default: the setting)");
    app.add_flag("--no-record", o.noRecord, "do not record the run");
    AddPath(app, "--lot-profile", o.lotProfilePath, "FILE",
            "run a simulated production lot of this lot profile (JSON), one run a unit");
    AddChecked(app, "--units", o.units, "N", Refusing(WholeNumber),
               "how many units of the lot run (1 to 1000000)");
    AddChecked(app, "--serial-prefix", o.serialPrefix, "TEXT", Refusing(RecordTextFits),
               "the lot's serial numbers: TEXT, then the unit's number (default: SN-0001...)");
}

// The lot's options go together, and with the simulator only: a lot's units
// are named and made by the lot, so --serial, --unit and --save, which speak
// of one unit's run, have no place in it.
std::string CheckLot(const CliOptions& o) {
    if (o.lotProfilePath.empty()) {
        return o.units          ? "--units needs --lot-profile"
               : o.serialPrefix ? "--serial-prefix needs --lot-profile"
                                : "";
    }
    if (!o.simulate) {
        return "--lot-profile needs --simulate";
    }
    if (!o.units) {
        return "--lot-profile needs --units N";
    }
    if (*o.units < 1 || *o.units > kMaxLotUnits) {
        return "--units must be from 1 to 1000000";
    }
    if (!o.unitProfilePath.empty()) {
        return "--unit and --lot-profile contradict each other: the lot profile holds its unit";
    }
    if (!o.serial.empty()) {
        return "--serial names one unit: a lot's serial numbers come from --serial-prefix";
    }
    if (!o.savePath.empty()) {
        return "--save saves one run, not a lot";
    }
    if (!RecordTextFits(LotSerial(LotSerialPrefix(o), *o.units, *o.units))) {
        return "--serial-prefix makes serial numbers longer than 127 characters";
    }
    return "";
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
    return CheckLot(o);
}

// The run's refusals say which option and value, and never repeat a value
// that may hold a password (the validators see to that).
std::string RunParseError(const CLI::App& app, const CLI::ParseError& error) {
    const std::string what = error.what();
    if (dynamic_cast<const CLI::ValidationError*>(&error)) {
        return "bad value for " + what;
    }
    if (dynamic_cast<const CLI::ArgumentMismatch*>(&error)) {
        for (const CLI::Option* option : app.get_options()) {
            if (what.starts_with(option->get_name() + ":")) {
                return option->get_name() + " needs a value";
            }
        }
    }
    return PrintableText(what, kMessageShownMax);
}

// Only a first word names a records command: a plan file may be called
// "history" when an option comes before it, as it always could.
void EnableOnly(CLI::App& app, const std::string& name) {
    for (CLI::App* command : app.get_subcommands({})) {
        command->disabled(command->get_name() != name);
    }
}

// The help lists every command.
void EnableAll(CLI::App& app) {
    for (CLI::App* command : app.get_subcommands({})) {
        command->disabled(false);
    }
}

std::string AfterParse(const CLI::App& app, const CliOptions& options) {
    if (!app.remaining().empty()) {
        return "unexpected argument: " + PrintableText(app.remaining().front());
    }
    return CheckCombination(options);
}

}  // namespace

CliParseResult ParseCliOptions(const std::vector<std::string>& args) {
    CLI::App app(kDescription, "orvalt-cli");
    // The commands first: they keep CLI11's own rules for repeats and extras.
    const std::map<std::string, RecordsCommand> commands = AddRecordsCommands(app);
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.allow_extras();  // an unknown word is refused below, in the run's words
    CliOptions options;
    Answers answers;
    AddRunOptions(app, options, answers);
    app.footer(std::string(kListDevicesUsage) + kLotUsage + ExitStatusTable());
    app.formatter(std::make_shared<RunnerHelp>());

    CliParseResult result;
    const std::string first = args.empty() ? "" : args.front();
    result.command = IsRecordsCommand(first) ? first : "";
    EnableOnly(app, result.command);
    try {
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        app.parse(reversed);
        if (!result.command.empty()) {
            result.records = commands.at(result.command);
            return result;
        }
        if (answers.version || answers.listPorts) {
            result.versionRequested = answers.version;
            result.listPortsRequested = answers.listPorts && !answers.version;
            return result;
        }
        result.error = AfterParse(app, options);
    } catch (const CLI::CallForHelp&) {
        result.helpRequested = true;
    } catch (const CLI::ParseError& error) {
        result.error = result.command.empty() ? RunParseError(app, error)
                                              : PrintableText(error.what(), kMessageShownMax);
    }
    if (result.helpRequested) {
        EnableAll(app);
        result.help = app.help();
    }
    if (result.helpRequested || !result.error.empty()) {
        return result;
    }
    result.options = options;
    return result;
}

std::optional<int> AnswerHelpOrError(const CliParseResult& parsed, std::ostream& out,
                                     std::ostream& err) {
    if (parsed.helpRequested) {
        out << parsed.help;
        return kExitRanToEnd;
    }
    if (parsed.error.empty()) {
        return std::nullopt;
    }
    const std::string who = parsed.command.empty() ? "orvalt-cli" : "orvalt-cli " + parsed.command;
    err << who << ": " << parsed.error << '\n'
        << who << " --help shows the options and the exit statuses.\n";
    return kExitUsage;
}

}  // namespace orvalt
