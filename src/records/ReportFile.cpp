#include "records/ReportFile.h"

#include "platform/SafeFile.h"
#include "records/RunLoad.h"
#include "records/RunReport.h"

namespace orvalt {

Result<void> WriteRunReportFile(SqlConnection& connection, std::string uuid,
                                const std::filesystem::path& out) {
    if (uuid.empty()) {
        const Result<std::string> last = LastRunUuid(connection);
        if (!last)
            return Fail(last.Error());
        if (last->empty())
            return Fail("No run has been recorded yet.");
        uuid = *last;
    }
    const Result<std::optional<LoadedRun>> loaded = LoadRun(connection, uuid);
    if (!loaded)
        return Fail(loaded.Error());
    if (!loaded->has_value())
        return Fail("No run " + uuid + " is recorded.");
    return ReplaceFileAtomically(out, RunReportHtml(loaded->value()));
}

}  // namespace orvalt
