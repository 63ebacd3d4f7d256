#pragma once
// What the station records of a run, as plain values: the run itself, each test
// with its named measurements, and the raw trace (readings, switches, diagnostic
// lines). These are what the recorder hands to a results store.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "domain/NamedMeasurements.h"
#include "domain/TestVerdict.h"

namespace orvalt {

// How a run or a test ended. A run or test still going has none.
enum class RecordEnd { Completed, Stopped, Abandoned };

// "completed", "stopped", "abandoned": the words the database holds.
const char* RecordEndWord(RecordEnd end);
std::optional<RecordEnd> RecordEndFromWord(const std::string& word);

// A verdict as a run's record keeps it, in runs.verdict and tests.verdict.
// Made from a kind, it holds the kind's word; read from a record, its word is
// parsed once, and the text is kept as stored: a word this station never
// writes (a damaged or foreign record) has no kind, and is shown as it stands.
class StoredVerdict {
  public:
    // Implicit: a kind is written as its word wherever a record wants one.
    StoredVerdict(VerdictKind kind);
    static StoredVerdict Read(std::string word);

    std::optional<VerdictKind> Kind() const { return kind_; }
    const std::string& Word() const { return word_; }
    bool operator==(const StoredVerdict&) const = default;

  private:
    StoredVerdict(std::optional<VerdictKind> kind, std::string word);

    std::optional<VerdictKind> kind_;
    std::string word_;
};

struct RecordedUnit {
    std::string manufacturer, model, type, power, size, driverManufacturer, driverModel;
    std::string serial;
};

struct RunStart {
    std::string uuid;       // empty: the recorder makes one
    std::string startedAt;  // UTC ISO 8601; empty: the recorder takes the time
    std::string host, fixture;
    // Who tested: as typed or scanned at the station, else the login name.
    std::string operatorName;
    std::string login;  // the account the station ran under
    std::string lot;    // lot or work order; may be empty
    std::string planName, planSha256, planText;
    // The limits that judged the run, as loaded at its start; all empty for a
    // run without limits ("not judged").
    std::string limitsName, limitsSha256, limitsText;
    std::string programVersion;                                 // the station's, "1.0.61"
    std::string u3Serial, u3Firmware;                           // the device that measured
    std::vector<std::pair<std::string, std::string>> settings;  // name, value at Start
    RecordedUnit unit;
};

struct RunFinish {
    RecordEnd how = RecordEnd::Completed;
    std::string reason;   // why it was stopped or abandoned; may be empty
    std::string endedAt;  // empty: the recorder takes the time
    // The unit's verdict; none when not judged (a run without limits).
    std::optional<StoredVerdict> unitVerdict{};
};

// How many of a run's tests began, completed, passed and failed so far. Kept
// with the run, so yield adds up runs, not tests.
struct RunTally {
    std::int64_t begun = 0, completed = 0, passed = 0, failed = 0;
};

struct TestFinish;
// Adds a test's end to the tally (its beginning counts in `begun`).
void CountTestEnd(RunTally& tally, const TestFinish& finish);

struct TestRecordStart {
    int index = 0;                         // 0-based row of the plan
    std::array<std::string, 9> planTexts;  // the plan row's nine texts as shown
    std::string mode;                      // "cycle" or "onoff"
    std::string startedAt;                 // empty: the recorder takes the time
};

struct Verdict {
    StoredVerdict outcome;
    std::string reasons;
};

// Whether a limit judged a measurement, and how it came out.
enum class MeasurementOutcome { NotJudged, Pass, Fail };

// The verdict a judged measurement came to; none where no limit applied.
std::optional<VerdictKind> OutcomeKind(MeasurementOutcome outcome);

// "PASS", "FAIL"; "not judged" where no limit applied.
const char* MeasurementOutcomeWord(MeasurementOutcome outcome);

// A figure as a test's record keeps it, with the bounds it was judged against.
struct MeasurementRecord {
    NamedMeasurement figure;
    std::optional<double> min{}, max{};
    MeasurementOutcome outcome = MeasurementOutcome::NotJudged;
};

// The figures of a test with their bounds and outcomes as `verdict` judged
// them; a figure without a limit (or a test without a verdict) is not judged.
std::vector<MeasurementRecord> RecordMeasurements(std::vector<NamedMeasurement> figures,
                                                  const std::vector<MeasurementCheck>& checks);

struct TestFinish {
    RecordEnd how = RecordEnd::Completed;
    std::string summaryLine;  // exactly as saved; empty for a test without one
    std::vector<MeasurementRecord> measurements;
    std::optional<Verdict> verdict;
    std::string endedAt;  // empty: the recorder takes the time
};

// Times in the trace are milliseconds since the test's first power switch.
struct Reading {
    std::int64_t ms = 0;
    double volts = 0.0;
    std::string status;  // the status label it was read under
};

// A change of a digital line: 4 is the unit's power, 5 the marker.
struct LineSwitch {
    std::int64_t ms = 0;
    int line = 4;
    bool on = false;
};

struct DiagLineRecord {
    std::int64_t ms = 0;
    std::string raw;
    std::array<std::int64_t, 3> fields{};
};

// A control-chart rule a measurement's series broke at a run's unit, kept with
// that run. It judges nothing: the run's verdicts stay as they were.
struct AlarmRecord {
    int testIndex = 0;        // 0-based row of the plan
    std::string measurement;  // the figure's name
    int rule = 1;             // 1..4
    std::string side;         // "above" or "below" the centre
    std::string text;         // the line the station showed
    std::string raisedAt{};   // UTC ISO 8601; empty: the recorder takes the time
    // Judged against the model's units of every station and fixture, not
    // only its own station's and fixture's.
    bool pooled = false;
};

// Who acknowledged an alarm, and when: it closes the alarm's series until
// the series alarms again.
struct AlarmAck {
    std::string runUuid;  // the run that raised the alarm
    int testIndex = 0;
    std::string measurement;
    int rule = 1;
    std::string ackedAt;  // UTC ISO 8601
    std::string ackedBy;  // the login
    std::string host;     // where it was acknowledged
    std::string note;
};

}  // namespace orvalt
