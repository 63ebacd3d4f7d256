#include "cli/RecordsCommands.h"

#include <CLI/CLI.hpp>

#include "cli/RecordsCommandParts.h"
#include "config/RegistryStore.h"
#include "records/ResultsSetting.h"

namespace orvalt {

namespace {

constexpr int kExitUsage = 2;

}  // namespace

std::string RecordsDatabaseFor(const std::optional<std::string>& db) {
    if (db && !db->empty())
        return *db;
    RegistryStore settings(DefaultRegistryPath());
    return ChooseResultsDatabase(db, LoadResultsDatabaseSetting(settings));
}

std::unique_ptr<SqlConnection> OpenRecordsToRead(const std::optional<std::string>& db,
                                                 std::ostream& err) {
    Result<std::unique_ptr<SqlConnection>> opened = OpenSqlConnection(RecordsDatabaseFor(db));
    if (!opened) {
        RecordsUnreadable(err, opened.Error());
        return nullptr;
    }
    return std::move(opened).Value();
}

int RecordsUnreadable(std::ostream& err, const std::string& message) {
    err << message << '\n';
    return kExitRecordsUnreadable;
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
        err << "orvalt-cli " << command << ": " << error.what() << '\n' << app.help();
        return kExitUsage;
    }
    return run(out, err);
}

}  // namespace orvalt
