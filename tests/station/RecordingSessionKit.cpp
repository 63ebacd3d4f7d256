#include "RecordingSessionKit.h"

#include <gtest/gtest.h>

#include <chrono>

#include "config/TestPlanFile.h"
#include "records/SqlConnection.h"
#include "support/SessionDriving.h"

namespace orvalt::test {

using namespace std::chrono_literals;

RecordingOptions IntoFolder(const TempFolder& folder, std::string database) {
    RecordingOptions recording;
    recording.on = true;
    recording.database = database.empty() ? (folder / "results.sqlite").string() : database;
    recording.spool = folder / "spool.sqlite";
    recording.stationKey = StationKeyPlace{folder / "station-key.pem", true};
    return recording;
}

std::unique_ptr<StationSession> RecordingSession(RecordingOptions recording, UnitProfile unit,
                                                 std::function<void(const RunFlag&)> watchRunFlag) {
    auto session = std::make_unique<StationSession>(
        SessionOptions{StationOptions{true, true, std::move(unit), {}, "Bench A"},
                       {},
                       std::move(recording),
                       {},
                       std::move(watchRunFlag)});
    LoadedPlan plan = LoadTestPlanFile(kExampleFile).Value();
    SessionFront front;
    front.runHooks = RunControlHooks{[] { return true; }, [](const std::string&) {}};
    session->Attach(std::move(front));
    session->HearSimulatedDiagLines();
    session->UsePlan(std::move(plan.plan), std::move(plan.rows));
    session->SetPlanSource("TestCfg.csv", std::move(plan.text));
    DialogValues values = session->Model().values;
    values.description = UnitDescription{"Acme", "X1", "", "", "", "KD", "4"};
    session->SetDialogValues(values);
    session->SetUnitOnTest("SN-0042", "", "");
    return session;
}

void HandleUntilOver(StationSession& session) {
    HandleUntilRunOver(session, 60s);
}

std::string LastRunUuid(StationSession& session, const std::string& database) {
    session.StoreRecords();
    auto opened = OpenSqlConnection(database);
    EXPECT_TRUE(opened.Ok()) << opened.Error();
    if (!opened) {
        return {};
    }
    const Result<std::string> uuid = orvalt::LastRunUuid(**opened);
    EXPECT_TRUE(uuid.Ok()) << uuid.Error();
    return uuid ? *uuid : std::string();
}

LoadedRun LoadLastRun(StationSession& session, const std::string& database) {
    const std::string uuid = LastRunUuid(session, database);
    auto opened = OpenSqlConnection(database);
    if (!opened) {
        return {};
    }
    const auto loaded = LoadRun(**opened, uuid);
    if (!loaded) {
        ADD_FAILURE() << loaded.Error();
        return {};
    }
    EXPECT_TRUE(loaded->has_value());
    return loaded->value_or(LoadedRun{});
}

}  // namespace orvalt::test
