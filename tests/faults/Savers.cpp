#include "faults/Savers.h"

#include "config/RegistryStore.h"
#include "config/SettingsTable.h"
#include "diaglink/DiagSave.h"
#include "faults/PlanRun.h"
#include "results/TestDataExport.h"

namespace orvalt::test {

std::string SaveTestDataTo(const std::filesystem::path& file) {
    SummaryLines summary;
    summary.Append({"12-06-26", false, FaultRunUnit(), "2.51"});
    const SaveResult saved = SaveTestData(file, FaultRunUnit(), {"log line"}, summary);
    return saved.Ok() ? "" : saved.errors.front();
}

std::string SaveDiagRowsTo(const std::filesystem::path& file) {
    const Result<void> saved = SaveDiagRows(file, {"200 2 3"});
    return saved ? "" : saved.Error();
}

std::string SaveSettingsTo(const std::filesystem::path& file) {
    RegistryStore store(file);
    const RegStatus saved = SaveStationSettings(SettingsRecord{}, store);
    return saved.Ok() ? "" : saved.message;
}

}  // namespace orvalt::test
