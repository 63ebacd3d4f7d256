#pragma once
// Sessions that record, as the station tests drive them: on the simulator in
// virtual time, the example plan loaded from its file as the window loads it,
// the unit "X1" with serial SN-0042 on fixture "Bench A".

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "reading/RunLoad.h"
#include "station/StationSession.h"
#include "support/TempFolder.h"

namespace orvalt::test {

inline const std::filesystem::path kExampleFile =
    std::filesystem::path(ORVALT_SOURCE_DIR) / "examples" / "TestCfg.csv";

// Records into `database`, else results.sqlite in the folder; its spool and
// the station key that seals its runs there.
RecordingOptions IntoFolder(const TempFolder& folder, std::string database = {});

// `watchRunFlag`: see SessionOptions.
std::unique_ptr<StationSession> RecordingSession(
    RecordingOptions recording, UnitProfile unit = {},
    std::function<void(const RunFlag&)> watchRunFlag = {});

// Handles messages until the run is over and every post is handled (a minute
// at the most).
void HandleUntilOver(StationSession& session);

// The run that ended last in `database` (a session's own, in these tests),
// once the session's records are stored there.
std::string LastRunUuid(StationSession& session, const std::string& database);
LoadedRun LoadLastRun(StationSession& session, const std::string& database);

}  // namespace orvalt::test
