#include "output/RunExport.h"

#include "domain/PrintableText.h"

namespace orvalt {

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
