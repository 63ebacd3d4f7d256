#pragma once
// The three record commands, each as its options on a CLI11 app and the work
// to do once they are parsed.

#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

#include "records/SqlConnection.h"

namespace CLI {
class App;
}

namespace orvalt {

using RecordsCommand = std::function<int(std::ostream& out, std::ostream& err)>;

constexpr int kExitRecordsUnreadable = 5;

RecordsCommand AddHistoryCommand(CLI::App& app);
RecordsCommand AddYieldCommand(CLI::App& app);
RecordsCommand AddReportCommand(CLI::App& app);

// --db, else the setting, else the default file.
std::string RecordsDatabaseFor(const std::optional<std::string>& db);

// Opens that database to read; on failure tells `err` why and returns nothing.
std::unique_ptr<SqlConnection> OpenRecordsToRead(const std::optional<std::string>& db,
                                                 std::ostream& err);

// Tells `err` why and gives the exit status for it.
int RecordsUnreadable(std::ostream& err, const std::string& message);

// Checks a --since value: YYYY-MM-DD.
std::string SinceValidator(const std::string& text);

}  // namespace orvalt
