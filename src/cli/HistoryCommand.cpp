#include <CLI/CLI.hpp>
#include <memory>

#include "cli/RecordsCommandParts.h"
#include "cli/WholeNumberText.h"
#include "domain/PrintableText.h"
#include "output/HistoryText.h"
#include "reading/History.h"
#include "records/SqlConnection.h"

namespace orvalt {

namespace {

struct HistoryOptions {
    RunFilter filter;
    std::optional<std::int64_t> limit;
    std::optional<std::string> db;
};

int RunHistory(const HistoryOptions& options, std::ostream& out, std::ostream& err) {
    const RecordsToRead records = OpenRecordsForCommand(options.db, err, 0);
    if (!records.db)
        return records.status;
    const Result<void> history =
        EachHistoryRow(*records.db, options.filter, options.limit,
                       [&out](const HistoryRow& row) { out << HistoryLine(row) << '\n'; });
    if (!history)
        return RecordsUnreadable(err, history.Error());
    return 0;
}

}  // namespace

// A count of runs: a whole number from 1, as a shell passes it.
std::string RunCountValidator(const std::string& text) {
    if (const std::optional<std::int64_t> count = WholeNumberIn<std::int64_t>(text);
        count && *count > 0)
        return {};
    return "expected a whole number of runs from 1, got \"" + PrintableText(text) + "\"";
}

RecordsCommand AddHistoryCommand(CLI::App& app) {
    auto options = std::make_shared<HistoryOptions>();
    app.description("One line per recorded run, newest first.");
    AddRunFilterOptions(app, options->filter);
    app.add_option("--limit", options->limit, "only the newest N runs (N from 1)")
        ->type_name("N")
        ->check(CLI::Validator(RunCountValidator, ""));
    AddDatabaseOption(app, options->db);
    return
        [options](std::ostream& out, std::ostream& err) { return RunHistory(*options, out, err); };
}

}  // namespace orvalt
