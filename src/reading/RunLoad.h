#pragma once
// One recorded run read back whole, for its report.

#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "records/RecordValues.h"
#include "records/SqlConnection.h"

namespace orvalt {

struct LoadedTest {
    TestRecordStart start;
    std::string endedAt, endedHow, summaryLine;
    std::optional<Verdict> verdict;
    std::vector<MeasurementRecord> measurements;
    // The measurements whose stored value is no number, by name, with the
    // text stored instead (none: NULL): they can't be judged.
    std::vector<std::pair<std::string, std::optional<std::string>>> valuesNotNumbers;
    std::vector<Reading> readings;
    std::vector<LineSwitch> switches;
    std::vector<DiagLineRecord> diagLines;
};

struct LoadedRun {
    RunStart start;
    std::string endedAt, endedHow, endReason;  // all empty while the run goes on
    // Which run on its unit this was; none for a run without a serial number.
    std::optional<std::int64_t> attempt;
    // None when not judged (or not ended yet).
    std::optional<StoredVerdict> unitVerdict;
    std::vector<LoadedTest> tests;
    std::vector<DiagLineRecord> diagLinesBetweenTests;
    // The drift alarms its unit raised, in the order they were raised.
    std::vector<AlarmRecord> alarms;
};

// A run's verdict cell as read: none for NULL, and for an empty text, which
// no judgement ever left.
std::optional<StoredVerdict> StoredUnitVerdict(const SqlCell& cell);
// The kind of a verdict cell; none for NULL, or for a word of no kind.
std::optional<VerdictKind> VerdictKindOfCell(const SqlCell& cell);

// The test's verdict word, or why it has none: "in progress", "not judged"
// (completed without limits), "stopped" or "abandoned".
std::string TestVerdictWord(const LoadedTest& test);

// The test's figures alone, as they were named.
std::vector<NamedMeasurement> FiguresOf(const LoadedTest& test);

// What of a run to read: all of it, or all but its trace (readings, switches
// and diagnostic lines), which judging it again does not need.
enum class RunParts { Whole, WithoutTrace };

// The run; empty when there is no such run.
Result<std::optional<LoadedRun>> LoadRun(SqlConnection& connection, const std::string& uuid,
                                         RunParts parts = RunParts::Whole);

// The UUID of the run that ended last (a run still going has no report to
// look back on yet); empty when none has ended.
Result<std::string> LastRunUuid(SqlConnection& connection);

// The UUID of the passed run of `model` on the plan of `planSha256` that
// started last, other than the run `besides`; empty when there is none.
Result<std::string> NewestPassedRunUuid(SqlConnection& connection, const std::string& model,
                                        const std::string& planSha256, const std::string& besides);

// The setting a run was started with, or empty.
std::optional<std::string> RunSetting(const LoadedRun& run, const std::string& name);

}  // namespace orvalt
