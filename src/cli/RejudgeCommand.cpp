#include <CLI/CLI.hpp>
#include <memory>

#include "cli/RecordsCommandParts.h"
#include "domain/PrintableText.h"
#include "reading/Rejudge.h"
#include "records/SqlConnection.h"

namespace orvalt {

namespace {

struct RejudgeOptions {
    RejudgeScope scope;
    std::optional<std::string> db;
    std::vector<std::string> keys;
};

// Each disagreement is printed as it is found, the summary at the end; a
// database that fails part-way says so after what was judged by then. The
// seals of the same runs are checked after: a record that agrees with itself
// proves nothing once it was changed since it was sealed, so a broken seal
// decides the exit status before a disagreement.
int RunRejudge(const RejudgeOptions& options, std::ostream& out, std::ostream& err) {
    const std::optional<TrustedKeys> keys = KeysForCommand(options.keys, err);
    if (!keys)
        return kExitUsage;
    const RecordsToRead records = OpenRecordsForCommand(
        options.db, err, options.scope.run ? kExitRecordsUnreadable : kExitRanToEnd);
    if (!records.db)
        return records.status;
    const Result<RejudgeTally> tally = RejudgeRuns(
        *records.db, options.scope, [&out](const std::string& line) { out << line << '\n'; });
    if (!tally)
        return RecordsUnreadable(err, tally.Error());
    out << RejudgeSummary(*tally) << '\n';
    const int seals = CheckSealsForCommand(
        *records.db, *keys, {options.scope.run, options.scope.filter.since}, out, err);
    if (seals != kExitRanToEnd)
        return seals;
    return tally->Agreed() ? kExitRanToEnd : kExitRecordsDisagree;
}

}  // namespace

RecordsCommand AddRejudgeCommand(CLI::App& app) {
    auto options = std::make_shared<RejudgeOptions>();
    app.description(
        "Judges recorded runs again from their stored measurements and limits and prints every "
        "disagreement with what was recorded, then checks their seals as verify does.");
    auto* run = app.add_option("--run", options->scope.run, "only the run with this UUID");
    AddRunFilterOptions(app, options->scope.filter);
    app.callback([run, options] {
        if (run->count() > 0 && options->scope.filter != RunFilter{}) {
            throw CLI::ValidationError("rejudge",
                                       "--run UUID goes without --since and the other filters");
        }
    });
    AddKeyOption(app, options->keys);
    AddDatabaseOption(app, options->db);
    return
        [options](std::ostream& out, std::ostream& err) { return RunRejudge(*options, out, err); };
}

}  // namespace orvalt
