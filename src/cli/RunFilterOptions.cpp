#include <CLI/CLI.hpp>

#include "cli/RecordsCommandParts.h"
#include "reading/RunFilter.h"

namespace orvalt {

std::string SinceValidator(const std::string& text) {
    return RunFilterDayProblem(text);
}

CLI::Option* AddSinceOption(CLI::App& app, std::optional<std::string>& since) {
    return app.add_option("--since", since, "only runs started on or after YYYY-MM-DD (UTC)")
        ->check(CLI::Validator(SinceValidator, "YYYY-MM-DD"));
}

void AddRunFilterOptions(CLI::App& app, RunFilter& filter, RunFilterParts parts) {
    if (parts.since) {
        AddSinceOption(app, filter.since);
    }
    app.add_option("--until", filter.until, "only runs started on or before YYYY-MM-DD (UTC)")
        ->check(CLI::Validator(SinceValidator, "YYYY-MM-DD"));
    if (parts.model) {
        app.add_option("--model", filter.model, "only runs of this model");
    }
    app.add_option("--lot", filter.lot, "only runs of this lot or work order");
    app.add_option("--station", filter.station, "only runs tested on this host");
    app.add_option("--fixture", filter.fixture,
                   "only runs tested on this fixture (\"\": a station without fixtures)");
    app.add_option_function<std::string>(
           "--serial", [&filter](const std::string& typed) { SetSerialAsTyped(filter, typed); },
           "only this unit's runs; SN-* for every serial starting SN-")
        ->type_name("SERIAL");
    app.add_option("--verdict", filter.verdict,
                   "only runs with this unit verdict: PASS, FAIL, ERROR, \"NOT JUDGED\" or none")
        ->check(CLI::Validator(RunFilterVerdictProblem, "VERDICT"));
}

void RefuseRunWithFilters(const std::string& command, const CLI::Option& run,
                          const RunFilter& filter) {
    if (run.count() > 0 && filter != RunFilter{}) {
        throw CLI::ValidationError(command,
                                   "--run UUID goes without --since and the other filters");
    }
}

}  // namespace orvalt
