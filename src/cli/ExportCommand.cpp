#include <CLI/CLI.hpp>
#include <memory>
#include <sstream>

#include "cli/RecordsCommandParts.h"
#include "domain/PrintableText.h"
#include "output/RunExport.h"
#include "platform/SafeFile.h"
#include "reading/History.h"

namespace orvalt {

namespace {

struct ExportOptions {
    std::string run;
    RunFilter filter;
    std::string format;
    bool trace = false;
    std::string out;  // empty: standard output
    std::optional<std::string> db;
};

// The runs asked for, or the status to end with, having said why there are
// none: an export of nothing is no export.
struct RunsToExport {
    std::vector<std::string> uuids;
    int status = 0;
};

std::string NoRunText(const RunFilter& filter) {
    if (filter == RunFilter{.since = filter.since}) {
        return std::string("No run was recorded since ") + *filter.since + ".";
    }
    return std::string("No recorded run matches ") + RunFilterText(filter) + ".";
}

RunsToExport ChooseRuns(SqlConnection& db, const ExportOptions& options, std::ostream& err) {
    if (!options.run.empty()) {
        return {{options.run}, 0};
    }
    Result<std::vector<std::string>> chosen = FilteredRunUuids(db, options.filter);
    if (!chosen) {
        return {{}, RecordsUnreadable(err, chosen.Error())};
    }
    if (chosen->empty()) {
        return {{}, RecordsUnreadable(err, NoRunText(options.filter))};
    }
    return {std::move(chosen).Value(), 0};
}

int WriteExport(const ExportOptions& options, const std::string& document, std::ostream& out,
                std::ostream& err) {
    if (options.out.empty()) {
        out << document << std::flush;
        if (!out) {
            err << "The export could not be written to standard output.\n";
            return kExitNotSaved;
        }
        return 0;
    }
    const Result<void> written = ReplaceFileAtomically(options.out, document);
    if (!written) {
        err << PrintableText(written.Error(), kMessageShownMax) << '\n';
        return kExitNotSaved;
    }
    return 0;
}

// The whole document is made before any of it is written, so a run that
// can't be loaded halfway leaves no half document behind.
int RunExport(const ExportOptions& options, std::ostream& out, std::ostream& err) {
    const RecordsToRead records = OpenRecordsForCommand(options.db, err, kExitRecordsUnreadable);
    if (!records.db) {
        return records.status;
    }
    const RunsToExport runs = ChooseRuns(*records.db, options, err);
    if (runs.status != 0) {
        return runs.status;
    }
    const ExportChoice choice{options.format == "junit" ? ExportFormat::Junit : ExportFormat::Json,
                              options.trace};
    std::ostringstream document;
    const Result<void> exported = ExportRuns(*records.db, runs.uuids, choice, document);
    if (!exported) {
        return RecordsUnreadable(err, exported.Error());
    }
    return WriteExport(options, document.str(), out, err);
}

}  // namespace

RecordsCommand AddExportCommand(CLI::App& app) {
    auto options = std::make_shared<ExportOptions>();
    app.description("Recorded runs as JSON (docs/export.schema.json) or JUnit XML.");
    auto* run = app.add_option("--run", options->run, "the run with this UUID");
    AddRunFilterOptions(app, options->filter);
    app.add_option("--format", options->format, "json or junit")
        ->required()
        ->check(CLI::IsMember({"json", "junit"}));
    auto* trace = app.add_flag("--trace", options->trace,
                               "json: each test's readings, switches and diagnostic lines too");
    app.add_option("-o,--out", options->out, "the file to write (default: standard output)")
        ->check(CLI::Validator(OutputFileValidator, ""));
    AddDatabaseOption(app, options->db);
    app.callback([run, trace, options] {
        RefuseRunWithFilters("export", *run, options->filter);
        if (run->count() == 0 && options->filter == RunFilter{}) {
            throw CLI::ValidationError("export",
                                       "give --run UUID or --since YYYY-MM-DD (or another filter)");
        }
        if (trace->count() > 0 && options->format != "json") {
            throw CLI::ValidationError("export", "--trace goes with --format json only");
        }
    });
    return
        [options](std::ostream& out, std::ostream& err) { return RunExport(*options, out, err); };
}

}  // namespace orvalt
