#include "cli/RecordsCommands.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iterator>

#include "cli/HeadlessRunner.h"
#include "cli/RecordsCommandParts.h"
#include "config/RegistryStore.h"
#include "domain/DatabaseUrl.h"
#include "domain/PrintableText.h"
#include "records/RecordsToRead.h"
#include "records/ResultsSetting.h"

namespace orvalt {

Result<std::string> RecordsDatabaseFor(const std::optional<std::string>& db) {
    std::string chosen;
    if (db && !db->empty()) {
        chosen = *db;
    } else {
        RegistryStore settings(DefaultRegistryPath());
        chosen = ChooseResultsDatabase(db, LoadResultsDatabaseSetting(settings));
    }
    if (LooksLikeUrl(chosen)) {
        if (const Result<ServerUrl> url = ParseServerUrl(chosen); !url)
            return Fail("The results database " + ShownDatabase(chosen) + " is " + url.Error());
    }
    return chosen;
}

RecordsToRead OpenRecordsForCommand(const std::optional<std::string>& db, std::ostream& err,
                                    int nothingRecorded) {
    const Result<std::string> target = RecordsDatabaseFor(db);
    if (!target) {
        err << target.Error() << '\n';
        return {nullptr, kExitUsage};
    }
    Result<std::unique_ptr<SqlConnection>> opened = OpenRecordsToRead(*target);
    if (!opened)
        return {nullptr, RecordsUnreadable(err, opened.Error())};
    if (!*opened) {
        err << kNoRunRecorded << '\n';
        return {nullptr, nothingRecorded};
    }
    return {std::move(opened).Value(), 0};
}

int RecordsUnreadable(std::ostream& err, const std::string& message) {
    err << message << '\n';
    return kExitRecordsUnreadable;
}

std::string DatabaseValidator(const std::string& text) {
    if (!LooksLikeUrl(text))
        return {};
    const Result<ServerUrl> url = ParseServerUrl(text);
    return url ? std::string() : url.Error();
}

std::string OutputFileValidator(const std::string& text) {
    return text.empty() ? std::string("nothing given") : std::string();
}

void AddDatabaseOption(CLI::App& app, std::optional<std::string>& db) {
    app.add_option("--db", db, "results database: a SQLite file or a postgresql:// URL")
        ->check(CLI::Validator(DatabaseValidator, "FILE|URL"));
}

namespace {

struct CommandKind {
    const char* name;
    RecordsCommand (*add)(CLI::App& app);
};

constexpr CommandKind kRecordsCommands[] = {
    {"history", AddHistoryCommand},  {"yield", AddYieldCommand},   {"pareto", AddParetoCommand},
    {"report", AddReportCommand},    {"export", AddExportCommand}, {"rejudge", AddRejudgeCommand},
    {"verify", AddVerifyCommand},    {"spc", AddSpcCommand},       {"alarms", AddAlarmsCommand},
    {"settings", AddSettingsCommand}};

}  // namespace

bool IsRecordsCommand(const std::string& word) {
    return std::any_of(std::begin(kRecordsCommands), std::end(kRecordsCommands),
                       [&word](const CommandKind& kind) { return word == kind.name; });
}

std::map<std::string, RecordsCommand> AddRecordsCommands(CLI::App& app) {
    std::map<std::string, RecordsCommand> commands;
    for (const CommandKind& kind : kRecordsCommands) {
        CLI::App& command = *app.add_subcommand(kind.name)->footer(ExitStatusTable(true));
        commands.emplace(kind.name, kind.add(command));
    }
    return commands;
}

std::optional<int> RunRecordsCommand(const std::vector<std::string>& args, std::ostream& out,
                                     std::ostream& err) {
    if (args.empty() || !IsRecordsCommand(args.front()))
        return std::nullopt;
    const CliParseResult parsed = ParseCliOptions(args);
    if (const std::optional<int> answered = AnswerHelpOrError(parsed, out, err))
        return answered;
    return parsed.records(out, err);
}

}  // namespace orvalt
