#include <CLI/CLI.hpp>
#include <memory>

#include "cli/RecordsCommandParts.h"
#include "output/ParetoText.h"
#include "reading/Pareto.h"
#include "records/SqlConnection.h"

namespace orvalt {

namespace {

struct ParetoOptions {
    std::string by = "reason";
    std::string format = "text";
    RunFilter filter;
    std::optional<std::string> db;
};

int RunPareto(const ParetoOptions& options, std::ostream& out, std::ostream& err) {
    const RecordsToRead records = OpenRecordsForCommand(options.db, err, 0);
    if (!records.db)
        return records.status;
    const ParetoGrouping by = *ParetoGroupingFromWord(options.by);
    const Result<Pareto> pareto = QueryPareto(*records.db, by, options.filter);
    if (!pareto)
        return RecordsUnreadable(err, pareto.Error());
    out << (options.format == "csv" ? ParetoCsv(*pareto, by)
                                    : ParetoText(*pareto, by, options.filter));
    return 0;
}

}  // namespace

RecordsCommand AddParetoCommand(CLI::App& app) {
    auto options = std::make_shared<ParetoOptions>();
    app.description(
        "The failed runs (FAIL or ERROR) ranked by reason, by the test that failed, by fixture or "
        "by station: runs, share and cumulative share, most runs first.");
    app.add_option("--by", options->by, "reason, test, fixture or station")
        ->check(CLI::IsMember({"reason", "test", "fixture", "station"}));
    app.add_option("--format", options->format, "text or csv")
        ->check(CLI::IsMember({"text", "csv"}));
    AddRunFilterOptions(app, options->filter);
    AddDatabaseOption(app, options->db);
    return
        [options](std::ostream& out, std::ostream& err) { return RunPareto(*options, out, err); };
}

}  // namespace orvalt
