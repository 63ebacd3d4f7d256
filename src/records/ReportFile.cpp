#include "records/ReportFile.h"

#include "platform/SafeFile.h"
#include "records/RunLoad.h"
#include "records/RunReport.h"

namespace orvalt {

namespace {

ReportFileResult Refused(std::string message) {
    return {false, std::move(message)};
}

}  // namespace

ReportFileResult WriteRunReportFile(SqlConnection& connection, std::string uuid,
                                    const std::filesystem::path& out) {
    if (uuid.empty()) {
        const RunLoadResult last = LastRunUuid(connection, uuid);
        if (!last.ok)
            return Refused(last.message);
        if (uuid.empty())
            return Refused("No run has been recorded yet.");
    }
    const RunLoadResult loaded = LoadRun(connection, uuid);
    if (!loaded.ok)
        return Refused(loaded.message);
    if (!loaded.run)
        return Refused("No run " + uuid + " is recorded.");
    const Result<void> written = ReplaceFileAtomically(out, RunReportHtml(*loaded.run));
    return written ? ReportFileResult{true, {}} : Refused(written.Error());
}

}  // namespace orvalt
