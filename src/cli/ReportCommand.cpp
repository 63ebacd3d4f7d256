#include <CLI/CLI.hpp>
#include <memory>

#include "cli/RecordsCommandParts.h"
#include "records/ReportFile.h"

namespace orvalt {

namespace {

struct ReportOptions {
    bool last = false;
    std::string run;
    std::string out;
    std::optional<std::string> db;
};

int RunReport(const ReportOptions& options, std::ostream& err) {
    const auto db = OpenRecordsToRead(options.db, err);
    if (!db)
        return kExitRecordsUnreadable;
    const Result<void> written =
        WriteRunReportFile(*db, options.last ? std::string() : options.run, options.out);
    return written ? 0 : RecordsUnreadable(err, written.Error());
}

}  // namespace

RecordsCommand AddReportCommand(CLI::App& app) {
    auto options = std::make_shared<ReportOptions>();
    app.description("One recorded run as a self-contained HTML page.");
    auto* last = app.add_flag("--last", options->last, "the run that started last");
    auto* run = app.add_option("--run", options->run, "the run with this UUID");
    last->excludes(run);
    app.add_option("--out", options->out, "the HTML file to write")->required();
    app.add_option("--db", options->db, "results database: a SQLite file or a postgresql:// URL");
    app.callback([last, run] {
        if (last->count() + run->count() != 1)
            throw CLI::ValidationError("report", "give --last or --run UUID");
    });
    return [options](std::ostream&, std::ostream& err) { return RunReport(*options, err); };
}

}  // namespace orvalt
