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

namespace orvalt {

// How a run or a test ended. A run or test still going has none.
enum class RecordEnd { Completed, Stopped, Abandoned };

// "completed", "stopped", "abandoned": the words the database holds.
const char* RecordEndWord(RecordEnd end);
std::optional<RecordEnd> RecordEndFromWord(const std::string& word);

struct RecordedUnit {
    std::string manufacturer, model, type, power, size, driverManufacturer, driverModel;
    std::string serial;
};

struct RunStart {
    std::string uuid;       // empty: the recorder makes one
    std::string startedAt;  // UTC ISO 8601; empty: the recorder takes the time
    std::string host, operatorLogin, fixture;
    std::string planName, planSha256, planText;
    std::vector<std::pair<std::string, std::string>> settings;  // name, value at Start
    RecordedUnit unit;
};

struct RunFinish {
    RecordEnd how = RecordEnd::Completed;
    std::string reason;   // why it was stopped or abandoned; may be empty
    std::string endedAt;  // empty: the recorder takes the time
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
    std::string outcome;  // PASS, FAIL or ERROR
    std::string reasons;
};

struct TestFinish {
    RecordEnd how = RecordEnd::Completed;
    std::string summaryLine;  // exactly as saved; empty for a test without one
    std::vector<NamedMeasurement> measurements;
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

}  // namespace orvalt
