#pragma once
// The three record commands, each as its options on a CLI11 app and the work
// to do once they are parsed.

#include <functional>
#include <optional>
#include <ostream>
#include <string>

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

// Checks a --since value: YYYY-MM-DD.
std::string SinceValidator(const std::string& text);

}  // namespace orvalt
