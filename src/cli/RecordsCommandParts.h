#pragma once
// The records commands, each as its options on a CLI11 app and the work to do
// once they are parsed.

#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/Result.h"
#include "cli/CliOptions.h"
#include "cli/ExitStatus.h"
#include "reading/RunFilter.h"
#include "records/SqlConnection.h"
#include "seal/SealCheck.h"

namespace CLI {
class App;
class Option;
}  // namespace CLI

namespace orvalt {

// The commands on `app`, by their names.
std::map<std::string, RecordsCommand> AddRecordsCommands(CLI::App& app);

RecordsCommand AddHistoryCommand(CLI::App& app);
RecordsCommand AddYieldCommand(CLI::App& app);
RecordsCommand AddParetoCommand(CLI::App& app);
RecordsCommand AddReportCommand(CLI::App& app);
RecordsCommand AddExportCommand(CLI::App& app);
RecordsCommand AddRejudgeCommand(CLI::App& app);
RecordsCommand AddSpcCommand(CLI::App& app);
RecordsCommand AddSettingsCommand(CLI::App& app);
RecordsCommand AddAlarmsCommand(CLI::App& app);
RecordsCommand AddVerifyCommand(CLI::App& app);

// --db, else the setting, else the default file; refused when the one chosen
// looks like a URL but is not a valid server URL.
Result<std::string> RecordsDatabaseFor(const std::optional<std::string>& db);

// The database a command reads, or, when there is none to read, the status
// the command ends with, having told `err` why: `nothingRecorded` when no run
// was ever recorded there, kExitUsage for a setting that is not a valid URL,
// kExitRecordsUnreadable when the database can't be read.
struct RecordsToRead {
    std::unique_ptr<SqlConnection> db;
    int status = 0;
};
RecordsToRead OpenRecordsForCommand(const std::optional<std::string>& db, std::ostream& err,
                                    int nothingRecorded);

// Tells `err` why and gives the exit status for it.
int RecordsUnreadable(std::ostream& err, const std::string& message);

// Checks a count of runs (--limit, --last): a whole number from 1.
std::string RunCountValidator(const std::string& text);
// Checks a --since value: YYYY-MM-DD.
std::string SinceValidator(const std::string& text);
// The --since option, as every records command words it.
CLI::Option* AddSinceOption(CLI::App& app, std::optional<std::string>& since);

// Which of the run filter's options a command takes beside the ones every
// reader takes (--until, --lot, --station, --fixture, --serial, --verdict):
// a command whose --since or --model means more keeps its own.
struct RunFilterParts {
    bool since = true;
    bool model = true;
};
void AddRunFilterOptions(CLI::App& app, RunFilter& filter, RunFilterParts parts = {});
// Refuses `run` (--run UUID) given together with any filter.
void RefuseRunWithFilters(const std::string& command, const CLI::Option& run,
                          const RunFilter& filter);
// Checks a --db value: a SQLite file or a valid server URL.
std::string DatabaseValidator(const std::string& text);
// Checks the name of a file to write (--out): an empty one is no file, not
// standard output.
std::string OutputFileValidator(const std::string& text);

// The --db option every records command takes.
void AddDatabaseOption(CLI::App& app, std::optional<std::string>& db);

// The --key option of the commands that check seals (FILE or FOLDER, again
// for more).
void AddKeyOption(CLI::App& app, std::vector<std::string>& keys);
// The public keys --key names, else the station's own; none, having told
// `err` why, when one can't be read (a usage error).
std::optional<TrustedKeys> KeysForCommand(const std::vector<std::string>& keys, std::ostream& err);
// Checks the seals of `scope`, printing each broken one and the summary: the
// exit status that makes (kExitSealBroken when any is broken).
int CheckSealsForCommand(SqlConnection& db, const TrustedKeys& keys, const SealScope& scope,
                         std::ostream& out, std::ostream& err);

}  // namespace orvalt
