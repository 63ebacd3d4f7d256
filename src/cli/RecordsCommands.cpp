#include "cli/RecordsCommands.h"

#include <CLI/CLI.hpp>

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

void AddDatabaseOption(CLI::App& app, std::optional<std::string>& db) {
    app.add_option("--db", db, "results database: a SQLite file or a postgresql:// URL")
        ->check(CLI::Validator(DatabaseValidator, "FILE|URL"));
}

std::optional<int> RunRecordsCommand(const std::vector<std::string>& args, std::ostream& out,
                                     std::ostream& err) {
    if (args.empty())
        return std::nullopt;
    const std::string& command = args[0];
    if (command != "history" && command != "yield" && command != "report")
        return std::nullopt;
    CLI::App app("orvalt-cli " + command, "orvalt-cli " + command);
    RecordsCommand run = command == "history" ? AddHistoryCommand(app)
                         : command == "yield" ? AddYieldCommand(app)
                                              : AddReportCommand(app);
    std::vector<std::string> rest(args.rbegin(), args.rend() - 1);  // CLI11 takes them reversed
    try {
        app.parse(rest);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::ParseError& error) {
        // CLI11's messages repeat what was typed.
        err << "orvalt-cli " << command << ": " << PrintableText(error.what(), kMessageShownMax)
            << '\n'
            << app.help();
        return kExitUsage;
    }
    return run(out, err);
}

}  // namespace orvalt
