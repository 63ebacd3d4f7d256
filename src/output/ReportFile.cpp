#include "output/ReportFile.h"

#include "domain/PrintableText.h"
#include "output/RunReport.h"
#include "platform/SafeFile.h"
#include "reading/RunLoad.h"
#include "records/RecordsToRead.h"

namespace orvalt {

namespace {

bool AnyRunRecorded(SqlConnection& connection) {
    const Result<SqlRows> any = connection.Run("SELECT 1 FROM runs LIMIT 1");
    return any && !any->empty();
}

Result<LoadedRun> LoadedOrMissing(SqlConnection& connection, const std::string& uuid) {
    Result<std::optional<LoadedRun>> loaded = LoadRun(connection, uuid);
    if (!loaded) {
        return Fail(loaded.Error());
    }
    if (!loaded->has_value()) {
        return Fail("No run " + PrintableText(uuid) + " is recorded.");
    }
    return std::move(**loaded);
}

std::string ModelText(const std::string& model) {
    return model.empty() ? std::string("no model") : "model " + PrintableText(model);
}

// A run named as the reference is one that passed, on the run's model.
Result<TraceReference> NamedReference(SqlConnection& connection, const LoadedRun& run,
                                      const std::string& uuid) {
    Result<LoadedRun> other = LoadedOrMissing(connection, uuid);
    if (!other) {
        return Fail(other.Error());
    }
    const std::string name = "Run " + PrintableText(uuid);
    if (!other->unitVerdict || other->unitVerdict->Kind() != VerdictKind::Pass) {
        return Fail(name + " did not pass: only a passed unit is a reference.");
    }
    if (other->start.unit.model != run.start.unit.model) {
        return Fail(name + " is of " + ModelText(other->start.unit.model) + ", not of " +
                    ModelText(run.start.unit.model) + ".");
    }
    return TraceReference{std::move(*other), {}};
}

Result<TraceReference> NewestPassedReference(SqlConnection& connection, const LoadedRun& run) {
    const Result<std::string> newest =
        NewestPassedRunUuid(connection, run.start.unit.model, run.start.planSha256, run.start.uuid);
    if (!newest) {
        return Fail(newest.Error());
    }
    if (newest->empty()) {
        return TraceReference{std::nullopt, "No other passed unit of " +
                                                ModelText(run.start.unit.model) + " on plan " +
                                                run.start.planName +
                                                " is recorded: no trace is compared."};
    }
    Result<LoadedRun> other = LoadedOrMissing(connection, *newest);
    if (!other) {
        return Fail(other.Error());
    }
    return TraceReference{std::move(*other), {}};
}

Result<TraceReference> ReferenceOf(SqlConnection& connection, const LoadedRun& run,
                                   const ReportReference& reference) {
    switch (reference.pick) {
        case ReportReference::Pick::Run:
            return NamedReference(connection, run, reference.uuid);
        case ReportReference::Pick::NewestPassed:
            return NewestPassedReference(connection, run);
        case ReportReference::Pick::None:
            break;
    }
    return TraceReference{};
}

}  // namespace

Result<std::string> RunReportPage(SqlConnection& connection, std::string uuid,
                                  const ReportReference& reference) {
    if (uuid.empty()) {
        const Result<std::string> last = LastRunUuid(connection);
        if (!last) {
            return Fail(last.Error());
        }
        if (last->empty()) {
            return Fail(std::string(AnyRunRecorded(connection) ? kNoRunEnded : kNoRunRecorded));
        }
        uuid = *last;
    }
    const Result<LoadedRun> run = LoadedOrMissing(connection, uuid);
    if (!run) {
        return Fail(run.Error());
    }
    const Result<TraceReference> compared = ReferenceOf(connection, *run, reference);
    if (!compared) {
        return Fail(compared.Error());
    }
    return RunReportHtml(*run, *compared);
}

Result<void> WriteRunReportFile(SqlConnection& connection, std::string uuid,
                                const std::filesystem::path& out) {
    const Result<std::string> page = RunReportPage(connection, std::move(uuid));
    if (!page) {
        return Fail(page.Error());
    }
    return ReplaceFileAtomically(out, *page);
}

}  // namespace orvalt
