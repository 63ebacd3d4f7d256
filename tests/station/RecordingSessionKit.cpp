#include "RecordingSessionKit.h"

#include <gtest/gtest.h>

#include <chrono>

#include "config/TestPlanFile.h"

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

std::unique_ptr<StationSession> RecordingSession(RecordingOptions recording, UnitProfile unit) {
    auto session = std::make_unique<StationSession>(SessionOptions{
        StationOptions{true, true, std::move(unit), {}, "Bench A"}, {}, std::move(recording)});
    LoadedPlan plan = LoadTestPlanFile(kExampleFile).Value();
    session->SetRunHooks(RunControlHooks{[] { return true; }, [](const std::string&) {}});
    session->HearSimulatedDiagLines();
    session->UsePlan(std::move(plan.plan), std::move(plan.rows));
    session->SetPlanSource("TestCfg.csv", std::move(plan.text));
    session->Model().values.description = UnitDescription{"Acme", "X1", "", "", "", "KD", "4"};
    session->SetUnitSerial("SN-0042");
    return session;
}

void HandleUntilOver(StationSession& session) {
    const auto limit = std::chrono::steady_clock::now() + 60s;
    while ((session.Runs().Running() || session.Pending() > 0) &&
           std::chrono::steady_clock::now() < limit) {
        session.HandleNext(5ms);
    }
}

LoadedRun LoadLastRun(StationRecording& recording) {
    recording.Flush();
    auto opened = OpenSqlConnection(recording.Database());
    EXPECT_TRUE(opened.Ok()) << opened.Error();
    if (!opened) {
        return {};
    }
    const auto loaded = LoadRun(**opened, recording.LastRunUuid());
    if (!loaded) {
        ADD_FAILURE() << loaded.Error();
        return {};
    }
    EXPECT_TRUE(loaded->has_value());
    return loaded->value_or(LoadedRun{});
}

}  // namespace orvalt::test
