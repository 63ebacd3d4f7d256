#pragma once
// One recorded run read back whole, for its report.

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "records/RecordValues.h"
#include "records/SqlConnection.h"

namespace orvalt {

struct LoadedTest {
    TestRecordStart start;
    std::string endedAt, endedHow, summaryLine;
    std::optional<Verdict> verdict;
    std::vector<NamedMeasurement> measurements;
    std::vector<Reading> readings;
    std::vector<LineSwitch> switches;
    std::vector<DiagLineRecord> diagLines;
};

struct LoadedRun {
    RunStart start;
    std::string endedAt, endedHow, endReason;
    std::vector<LoadedTest> tests;
    std::vector<DiagLineRecord> diagLinesBetweenTests;
};

// The run; empty when there is no such run.
Result<std::optional<LoadedRun>> LoadRun(SqlConnection& connection, const std::string& uuid);

// The UUID of the run that started last; empty when there is none.
Result<std::string> LastRunUuid(SqlConnection& connection);

// The setting a run was started with, or empty.
std::optional<std::string> RunSetting(const LoadedRun& run, const std::string& name);

}  // namespace orvalt
