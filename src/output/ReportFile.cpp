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

}  // namespace

Result<std::string> RunReportPage(SqlConnection& connection, std::string uuid) {
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
    const Result<std::optional<LoadedRun>> loaded = LoadRun(connection, uuid);
    if (!loaded) {
        return Fail(loaded.Error());
    }
    if (!loaded->has_value()) {
        return Fail("No run " + PrintableText(uuid) + " is recorded.");
    }
    return RunReportHtml(loaded->value());
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
