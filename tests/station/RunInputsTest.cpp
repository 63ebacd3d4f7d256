// What a run's record begins and ends with besides its trace: who tested and
// under which lot, the program, the U3 that measured, the limits that judged
// the run with their text and digest, and the unit's verdict as the keeper
// judged it. Runs of the example plan on the simulator in virtual time.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "RecordingSessionKit.h"
#include "config/TestPlanFile.h"
#include "platform/HostIdentity.h"
#include "reading/RunLoad.h"
#include "records/Sha256.h"
#include "records/SqlConnection.h"
#include "sim/SimulatedSerialNumber.h"
#include "station/ProgramVersion.h"
#include "station/StationSession.h"
#include "support/StoredWords.h"
#include "support/TempFolder.h"

namespace orvalt {
namespace {

using namespace std::chrono_literals;
using test::HandleUntilOver;
using test::TempFolder;

const std::filesystem::path kExamples = std::filesystem::path(ORVALT_SOURCE_DIR) / "examples";

std::unique_ptr<StationSession> SimulatedSession(const TempFolder& folder) {
    return test::RecordingSession(test::IntoFolder(folder));
}

LoadedRun LastRun(StationSession& session, const TempFolder& folder) {
    return test::LoadLastRun(session, test::IntoFolder(folder).database);
}

LoadedRun RunToItsEnd(StationSession& session, const TempFolder& folder) {
    EXPECT_TRUE(session.Start().Started());
    HandleUntilOver(session);
    return LastRun(session, folder);
}

std::string ExpectedU3Serial() {
    return std::to_string(SimulatedSerialNumber("Bench A"));
}

// The operator and lot as typed, the limits as loaded (name, exact bytes,
// their SHA-256), the program and the simulated U3, and the keeper's own
// unit verdict: all of it read back from the database. Limits loaded while a
// run goes judge only the next one, and its record says so too.
TEST(RunInputs, AJudgedRunKeepsWhoWhatAndWhichLimitsJudgedIt) {
    TempFolder folder;
    auto session = SimulatedSession(folder);
    const std::filesystem::path failing = kExamples / "limits-fail.csv";
    ASSERT_EQ(session->LoadLimits(failing, StationSession::Remember::No), "");
    session->SetUnitOnTest("SN-0042", "Mia Ortiz", "LOT-7 / WO 12");

    ASSERT_TRUE(session->Start().Started());
    // Handler thread, the worker going: these apply from the next Start.
    ASSERT_EQ(session->LoadLimits(kExamples / "limits-pass.csv", StationSession::Remember::No), "");
    HandleUntilOver(*session);
    const LoadedRun first = LastRun(*session, folder);
    const RunStart& start = first.start;
    EXPECT_EQ(start.operatorName, "Mia Ortiz");
    EXPECT_EQ(start.login, OperatorLoginName());
    EXPECT_FALSE(start.login.empty());
    EXPECT_EQ(start.lot, "LOT-7 / WO 12");
    EXPECT_EQ(start.programVersion, std::string(kVersionNumber));
    EXPECT_EQ(start.u3Serial, ExpectedU3Serial());
    EXPECT_EQ(start.u3Firmware, "1.46");
    EXPECT_EQ(start.limitsName, "limits-fail.csv");
    const std::string failingText = test::ReadBytes(failing);
    EXPECT_EQ(start.limitsText, failingText);
    EXPECT_EQ(start.limitsSha256, Sha256Hex(failingText));
    EXPECT_EQ(start.limitsSha256.size(), 64u);
    EXPECT_EQ(WordRead(first.unitVerdict), "FAIL");
    EXPECT_EQ(UnitVerdictOf(session->Verdicts()), VerdictKind::Fail);

    // Kept from unit to unit; an emptied operator is the login name.
    session->SetUnitOnTest("SN-0043", "", "LOT-7 / WO 12");
    const LoadedRun second = RunToItsEnd(*session, folder);
    EXPECT_EQ(second.start.operatorName, OperatorLoginName());
    EXPECT_EQ(second.start.lot, "LOT-7 / WO 12");
    EXPECT_EQ(second.start.limitsName, "limits-pass.csv");
    EXPECT_EQ(second.start.limitsSha256, Sha256Hex(test::ReadBytes(kExamples / "limits-pass.csv")));
    EXPECT_EQ(WordRead(second.unitVerdict), "PASS");
    EXPECT_EQ(UnitVerdictOf(session->Verdicts()), VerdictKind::Pass);
}

// Without limits the run is not judged: no limits, no verdict; the rest is
// recorded all the same.
TEST(RunInputs, ARunWithoutLimitsHasNoneAndNoVerdict) {
    TempFolder folder;
    auto session = SimulatedSession(folder);
    const LoadedRun run = RunToItsEnd(*session, folder);
    EXPECT_EQ(run.endedHow, "completed");
    EXPECT_EQ(run.start.limitsName, "");
    EXPECT_EQ(run.start.limitsText, "");
    EXPECT_EQ(run.start.limitsSha256, "");
    EXPECT_FALSE(run.unitVerdict);
    EXPECT_EQ(run.start.operatorName, OperatorLoginName());
    EXPECT_EQ(run.start.lot, "");
    EXPECT_EQ(run.start.programVersion, std::string(kVersionNumber));
    EXPECT_EQ(run.start.u3Serial, ExpectedU3Serial());
    EXPECT_EQ(run.start.u3Firmware, "1.46");
}

// A run stopped midway under limits is the keeper's ERROR, which it reaches
// only as the run ends (the test cut short is judged then): the record must
// have asked after that, not before.
TEST(RunInputs, AStoppedJudgedRunKeepsTheKeepersError) {
    TempFolder folder;
    auto session = SimulatedSession(folder);
    ASSERT_EQ(session->LoadLimits(kExamples / "limits-pass.csv", StationSession::Remember::No), "");
    ASSERT_TRUE(session->Start().Started());
    while (session->Status().completedTests < 1 && session->Status().runGoing) {
        session->HandleNext(5ms);
    }
    session->Stop();
    session->HandlePending();
    const LoadedRun run = LastRun(*session, folder);
    EXPECT_EQ(run.endedHow, "stopped");
    EXPECT_EQ(WordRead(run.unitVerdict), "ERROR");
    EXPECT_EQ(UnitVerdictOf(session->Verdicts()), VerdictKind::Error);
}

}  // namespace
}  // namespace orvalt
