#include <CLI/CLI.hpp>
#include <memory>

#include "cli/RecordsCommandParts.h"
#include "output/YieldTable.h"
#include "reading/Yield.h"
#include "records/SqlConnection.h"

namespace orvalt {

namespace {

struct YieldOptions {
    std::string by = "model";
    RunFilter filter;
    std::optional<std::string> db;
};

int RunYield(const YieldOptions& options, std::ostream& out, std::ostream& err) {
    const RecordsToRead records = OpenRecordsForCommand(options.db, err, 0);
    if (!records.db)
        return records.status;
    const YieldGrouping by = *YieldGroupingFromWord(options.by);
    const Result<std::vector<YieldRow>> yield = QueryYield(*records.db, by, options.filter);
    if (!yield)
        return RecordsUnreadable(err, yield.Error());
    out << YieldTable(*yield, by);
    return 0;
}

}  // namespace

RecordsCommand AddYieldCommand(CLI::App& app) {
    auto options = std::make_shared<YieldOptions>();
    app.description(
        "Tests and units per model, driver, day, lot, station or fixture: completed, abandoned, "
        "pass, "
        "fail; first-pass and final yield, retests, units still failing and the time lost to "
        "stopped and abandoned runs.");
    app.add_option("--by", options->by, "model, driver, day, lot, station or fixture")
        ->check(CLI::IsMember({"model", "driver", "day", "lot", "station", "fixture"}));
    AddRunFilterOptions(app, options->filter);
    AddDatabaseOption(app, options->db);
    return [options](std::ostream& out, std::ostream& err) { return RunYield(*options, out, err); };
}

}  // namespace orvalt
