#include <CLI/CLI.hpp>
#include <memory>

#include "cli/RecordsCommandParts.h"
#include "domain/PrintableText.h"
#include "output/SpcPage.h"
#include "output/SpcText.h"
#include "platform/SafeFile.h"
#include "platform/UtcTime.h"
#include "spc/BaselineSetting.h"
#include "spc/Spc.h"

namespace orvalt {

namespace {

struct SpcOptions {
    SeriesQuery query;
    std::optional<std::int64_t> last;
    std::string out;
    bool baseline = false;
    bool clear = false;
    std::optional<std::string> db;
};

// A settings file to mend first is a file that can't be used, as for
// `settings set`; one that could not be written is a result not saved.
int SettingsRefused(const RegStatus& status, std::ostream& err) {
    err << PrintableText(status.message, kMessageShownMax) << '\n';
    const bool unusable = status.code == ERROR_INVALID_DATA || status.code == ERROR_CANTREAD;
    return unusable ? kExitUsage : kExitNotSaved;
}

int ClearBaselines(const SpcOptions& options, std::ostream& out, std::ostream& err) {
    RegistryStore settings(DefaultRegistryPath());
    const Result<std::size_t, RegStatus> cleared =
        ClearFrozenBaselines(settings, options.query.model);
    if (!cleared) {
        return SettingsRefused(cleared.Error(), err);
    }
    out << "Cleared " << *cleared << " frozen baseline" << (*cleared == 1 ? "" : "s") << " of "
        << PrintableText(options.query.model) << ".\n";
    return 0;
}

int FreezeFromRecords(SqlConnection& db, const SpcOptions& options, std::ostream& out,
                      std::ostream& err) {
    std::vector<std::string> tooShort;
    const Result<std::vector<SeriesBaseline>> baselines =
        BaselinesToFreeze(db, options.query, UtcIsoNow(), tooShort);
    if (!baselines) {
        return RecordsUnreadable(err, PrintableText(baselines.Error(), kMessageShownMax));
    }
    for (const std::string& name : tooShort) {
        err << PrintableText(name) << ": fewer than " << kBaselineUnits
            << " units in the runs picked; its baseline is left as it was\n";
    }
    if (baselines->empty()) {
        return kExitRecordsUnreadable;
    }
    RegistryStore settings(DefaultRegistryPath());
    const Result<void, RegStatus> frozen =
        FreezeBaselines(settings, options.query.model, *baselines);
    if (!frozen) {
        return SettingsRefused(frozen.Error(), err);
    }
    for (const SeriesBaseline& one : *baselines) {
        out << "Froze " << PrintableText(BaselineValueName(one.testIndex, one.measurement))
            << ": centre " << one.baseline.centre << ", sigma " << one.baseline.sigma << ", "
            << one.baseline.units << " units\n";
    }
    return 0;
}

int ShowSpc(SqlConnection& db, const SpcOptions& options, std::ostream& out, std::ostream& err) {
    RegistryStore settings(DefaultRegistryPath());
    const std::string& model = options.query.model;
    const FrozenLookup frozen = [&settings, &model](int testIndex, const std::string& name) {
        return FrozenBaselineOf(settings, model, testIndex, name);
    };
    const Result<std::vector<JudgedSeries>> all = LoadSpc(db, options.query, frozen);
    if (!all) {
        return RecordsUnreadable(err, PrintableText(all.Error(), kMessageShownMax));
    }
    out << SpcText(*all);
    if (options.out.empty()) {
        return 0;
    }
    const Result<void> written =
        ReplaceFileAtomically(options.out, SpcPageHtml(model, options.query.window, *all));
    if (!written) {
        err << PrintableText(written.Error(), kMessageShownMax) << '\n';
        return kExitNotSaved;
    }
    return 0;
}

int RunSpc(SpcOptions options, std::ostream& out, std::ostream& err) {
    if (options.clear) {
        return ClearBaselines(options, out, err);
    }
    if (options.last) {
        options.query.window.last = static_cast<std::size_t>(*options.last);
    }
    const RecordsToRead records = OpenRecordsForCommand(options.db, err, kExitRecordsUnreadable);
    if (!records.db) {
        return records.status;
    }
    return options.baseline ? FreezeFromRecords(*records.db, options, out, err)
                            : ShowSpc(*records.db, options, out, err);
}

}  // namespace

RecordsCommand AddSpcCommand(CLI::App& app) {
    auto options = std::make_shared<SpcOptions>();
    app.description(
        "Drift of a model's measurements: per series n, mean, sigma within and overall, Cp, Cpk, "
        "Pp, Ppk against the recorded limits with the units out of them, the baseline, and the "
        "units that broke a "
        "control-chart rule. --baseline freezes the baseline from the runs picked.");
    app.add_option("--model", options->query.model, "the model whose runs are read")->required();
    auto* measurement =
        app.add_option("--measurement", options->query.measurement, "only this measurement");
    auto* last = app.add_option("--last", options->last, "only the newest N runs (N from 1)")
                     ->type_name("N")
                     ->check(CLI::Validator(RunCountValidator, ""));
    auto* since = app.add_option("--since", options->query.window.since,
                                 "only runs started on or after YYYY-MM-DD (UTC)")
                      ->check(CLI::Validator(SinceValidator, "YYYY-MM-DD"));
    last->excludes(since);
    auto* page = app.add_option("--out", options->out, "also write the charts to this HTML file")
                     ->check(CLI::Validator(OutputFileValidator, ""));
    auto* baseline = app.add_flag("--baseline", options->baseline,
                                  "freeze each series' baseline from the runs picked (at least "
                                  "25 units), kept in the settings file");
    auto* clear = app.add_flag("--clear", options->clear,
                               "with --baseline: forget the model's frozen baselines");
    clear->needs(baseline);
    clear->excludes(last)->excludes(since)->excludes(page)->excludes(measurement);
    baseline->excludes(page);
    AddDatabaseOption(app, options->db);
    return [options](std::ostream& out, std::ostream& err) { return RunSpc(*options, out, err); };
}

}  // namespace orvalt
