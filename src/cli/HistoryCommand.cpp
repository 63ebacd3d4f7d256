#include <CLI/CLI.hpp>
#include <memory>

#include "cli/RecordsCommandParts.h"
#include "domain/PrintableText.h"
#include "records/History.h"
#include "records/SqlConnection.h"

namespace orvalt {

namespace {

struct HistoryOptions {
    HistoryFilter filter;
    std::optional<std::string> db;
};

int RunHistory(const HistoryOptions& options, std::ostream& out, std::ostream& err) {
    const RecordsToRead records = OpenRecordsForCommand(options.db, err, 0);
    if (!records.db)
        return records.status;
    const Result<std::vector<HistoryRow>> history = QueryHistory(*records.db, options.filter);
    if (!history)
        return RecordsUnreadable(err, history.Error());
    for (const HistoryRow& row : *history)
        out << HistoryLine(row) << '\n';
    return 0;
}

}  // namespace

std::string SinceValidator(const std::string& text) {
    return IsIsoDate(text) ? std::string()
                           : "expected a date YYYY-MM-DD, got \"" + PrintableText(text) + "\"";
}

RecordsCommand AddHistoryCommand(CLI::App& app) {
    auto options = std::make_shared<HistoryOptions>();
    app.description("One line per recorded run, newest first.");
    app.add_option("--serial", options->filter.serial, "only this unit's runs");
    app.add_option("--model", options->filter.model, "only runs of this model");
    app.add_option("--since", options->filter.since,
                   "only runs started on or after YYYY-MM-DD (UTC)")
        ->check(CLI::Validator(SinceValidator, "YYYY-MM-DD"));
    AddDatabaseOption(app, options->db);
    return
        [options](std::ostream& out, std::ostream& err) { return RunHistory(*options, out, err); };
}

}  // namespace orvalt
