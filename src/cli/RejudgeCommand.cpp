#include <CLI/CLI.hpp>
#include <memory>

#include "cli/RecordsCommandParts.h"
#include "domain/PrintableText.h"
#include "output/WhatIfText.h"
#include "platform/SafeFile.h"
#include "reading/Rejudge.h"
#include "reading/WhatIf.h"
#include "records/Sha256.h"
#include "records/SqlConnection.h"

namespace orvalt {

namespace {

struct RejudgeOptions {
    RejudgeScope scope;
    std::string limits;  // what-if: the limits file to judge by; empty: each run's own
    std::string out;
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

// The runs judged by other limits: nothing is compared with the record and
// no seal is checked, since nothing is proven; the records stay as they are.
int RunWhatIf(const RejudgeOptions& options, std::ostream& out, std::ostream& err) {
    const Result<LimitsAndText> limits = ReadLimitsFile(options.limits);
    if (!limits) {
        err << PrintableText(options.limits) << ": "
            << PrintableText(limits.Error(), kMessageShownMax) << '\n';
        return kExitUsage;
    }
    const RecordsToRead records = OpenRecordsForCommand(
        options.db, err, options.scope.run ? kExitRecordsUnreadable : kExitRanToEnd);
    if (!records.db)
        return records.status;
    const Result<WhatIf> whatIf = JudgeUnderLimits(*records.db, options.scope, limits->limits);
    if (!whatIf)
        return RecordsUnreadable(err, whatIf.Error());
    const WhatIfSubject subject{std::filesystem::path(options.limits).filename().string(),
                                Sha256Hex(limits->text),
                                options.scope.run ? std::string("run ") + *options.scope.run
                                                  : RunFilterText(options.scope.filter)};
    out << WhatIfText(*whatIf, subject);
    if (!options.out.empty()) {
        if (const Result<void> written =
                ReplaceFileAtomically(options.out, WhatIfPageHtml(*whatIf, subject));
            !written) {
            err << PrintableText(written.Error(), kMessageShownMax) << '\n';
            return kExitNotSaved;
        }
    }
    return kExitRanToEnd;
}

}  // namespace

RecordsCommand AddRejudgeCommand(CLI::App& app) {
    auto options = std::make_shared<RejudgeOptions>();
    app.description(
        "Judges recorded runs again from their stored measurements and limits and prints every "
        "disagreement with what was recorded, then checks their seals as verify does. With "
        "--limits, judges them by that limits file instead and tells what would change.");
    auto* run = app.add_option("--run", options->scope.run, "only the run with this UUID");
    AddRunFilterOptions(app, options->scope.filter);
    app.callback([run, options] { RefuseRunWithFilters("rejudge", *run, options->scope.filter); });
    auto* limits = app.add_option("--limits", options->limits,
                                  "what if: judge the runs by this limits file, changing no record")
                       ->check(CLI::ExistingFile);
    app.add_option("--out", options->out, "with --limits: also write the changes to this HTML file")
        ->check(CLI::Validator(OutputFileValidator, ""))
        ->needs(limits);
    AddKeyOption(app, options->keys);
    AddDatabaseOption(app, options->db);
    return [options](std::ostream& out, std::ostream& err) {
        return options->limits.empty() ? RunRejudge(*options, out, err)
                                       : RunWhatIf(*options, out, err);
    };
}

}  // namespace orvalt
