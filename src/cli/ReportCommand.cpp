#include <CLI/CLI.hpp>
#include <memory>

#include "cli/HeadlessRunner.h"
#include "cli/RecordsCommandParts.h"
#include "domain/PrintableText.h"
#include "output/ReportFile.h"
#include "platform/SafeFile.h"

namespace orvalt {

namespace {

struct ReportOptions {
    bool last = false;
    std::string run;
    std::string out;
    std::string reference;
    std::optional<std::string> db;
};

// The word --reference takes for the newest passed run of the same model.
constexpr const char* kNewestPassed = "newest";

ReportReference ReferenceOf(const std::string& word) {
    if (word.empty()) {
        return {};
    }
    if (word == kNewestPassed) {
        return {ReportReference::Pick::NewestPassed, {}};
    }
    return {ReportReference::Pick::Run, word};
}

// A page that can't be written is a result that did not reach its file, as
// for the runner's saves.
int RunReport(const ReportOptions& options, std::ostream& err) {
    const RecordsToRead records = OpenRecordsForCommand(options.db, err, kExitRecordsUnreadable);
    if (!records.db)
        return records.status;
    const Result<std::string> page = RunReportPage(
        *records.db, options.last ? std::string() : options.run, ReferenceOf(options.reference));
    if (!page)
        return RecordsUnreadable(err, page.Error());
    const Result<void> written = ReplaceFileAtomically(options.out, *page);
    if (!written) {
        err << PrintableText(written.Error(), kMessageShownMax) << '\n';
        return kExitNotSaved;
    }
    return 0;
}

}  // namespace

RecordsCommand AddReportCommand(CLI::App& app) {
    auto options = std::make_shared<ReportOptions>();
    app.description("One recorded run as a self-contained HTML page.");
    auto* last =
        app.add_flag("--last", options->last, "the run that ended last (not one still going)");
    auto* run = app.add_option("--run", options->run, "the run with this UUID");
    last->excludes(run);
    app.add_option("--out", options->out, "the HTML file to write")
        ->required()
        ->check(CLI::Validator(OutputFileValidator, ""));
    app.add_option("--reference", options->reference,
                   "draw a passed unit's traces beneath: its run's UUID, or \"newest\" for the "
                   "newest passed run of the model on the same plan");
    AddDatabaseOption(app, options->db);
    app.callback([last, run] {
        if (last->count() + run->count() != 1)
            throw CLI::ValidationError("report", "give --last or --run UUID");
    });
    return [options](std::ostream&, std::ostream& err) { return RunReport(*options, err); };
}

}  // namespace orvalt
