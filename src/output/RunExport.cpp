#include "output/RunExport.h"

#include "domain/PrintableText.h"

namespace orvalt {

Result<std::vector<std::string>> RunUuidsSince(SqlConnection& connection,
                                               const std::string& since) {
    const Result<SqlRows> rows = connection.Run(
        "SELECT run_uuid FROM runs WHERE started_at >= $1 ORDER BY started_at, run_uuid", {since});
    if (!rows) {
        return Fail(rows.Error());
    }
    std::vector<std::string> uuids;
    uuids.reserve(rows->size());
    for (const SqlRow& row : *rows) {
        uuids.push_back(CellText(row[0]));
    }
    return uuids;
}

Result<void> ExportRuns(SqlConnection& connection, const std::vector<std::string>& uuids,
                        const ExportChoice& choice, std::ostream& out) {
    out << ExportOpening(choice);
    bool first = true;
    for (const std::string& uuid : uuids) {
        const Result<std::optional<LoadedRun>> loaded = LoadRun(connection, uuid);
        if (!loaded) {
            return Fail(loaded.Error());
        }
        if (!loaded->has_value()) {
            return Fail("No run " + PrintableText(uuid) + " is recorded.");
        }
        out << ExportedRun(loaded->value(), choice, first);
        first = false;
    }
    out << ExportClosing(choice);
    return {};
}

}  // namespace orvalt
