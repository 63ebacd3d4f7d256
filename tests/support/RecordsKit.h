#pragma once
// Shared pieces of the records tests: a run to record, a recording of known
// size, and counts read back from a database.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "recording/RunRecorder.h"
#include "records/SqlConnection.h"
#include "support/TempFolder.h"

namespace orvalt::test {

// A station key of the test's own, in `folder`/keys, made on first use: what
// seals the runs a test records, and the public half that checks them.
StationKeyPlace TestStationKey(const TempFolder& folder);
std::string TestPublicKey(const TempFolder& folder);
// A sealer with that key, for rows a test writes itself.
RunSealer TestSealer(const TempFolder& folder);

RunStart SampleRun(const std::string& model = "X100", const std::string& serial = "SN-1");
TestRecordStart SampleTest(int index);

struct RecordedCounts {
    std::int64_t readings = 0, switches = 0, diagLines = 0, tests = 0;
};

// Records `readings` readings 10 ms apart from `firstMs` on, a switch every
// tenth and a diagnostic line every fifth into the test in progress; adds to
// `counts`.
void RecordTrace(RunRecorder& recorder, int readings, RecordedCounts& counts,
                 std::int64_t firstMs = 0);

// A whole test: begins, traces, ends completed with two measurements.
void RecordCompletedTest(RunRecorder& recorder, int index, int readings, RecordedCounts& counts);

// Rows of `table` for the run; -1 when the query fails.
// Readings ("readings") and diagnostic lines ("diag_lines") are counted in
// their blocks.
std::int64_t CountRows(SqlConnection& db, const std::string& table, const std::string& uuid);
// A row of a run's trace as stored: readings and diagnostic lines from their
// blocks, and the switches. `text` is a reading's status, a line's raw text,
// or "s" for a switch.
struct StoredTraceRow {
    std::int64_t seq = 0;
    std::optional<int> test;
    std::int64_t ms = 0;
    std::string text;
};
// In sequence order.
std::vector<StoredTraceRow> StoredTraceRows(SqlConnection& db, const std::string& uuid);
std::int64_t CountRows(const std::string& target, const std::string& table,
                       const std::string& uuid);

// A model's history for drift: `values.size()` runs of `model` a minute apart
// from 2026-12-01T06:00Z, on this station (its host name) and `fixture` as a
// session here records them, each with one completed test `testIndex` whose
// figure `name` (2 decimals) is the next of `values`, written as the recorder
// writes them; the first is unit `firstUnit` of the history, so a history
// can be added to. False, with a failure added, when they could not be.
bool RecordFigureHistory(SqlConnection& db, const std::string& model, int testIndex,
                         const std::string& name, const std::vector<double>& values,
                         std::size_t firstUnit = 0, const std::string& fixture = "");

// The same reading to the bit: a NaN is itself, -0.0 is not 0.0.
bool SameReadingBits(const Reading& a, const Reading& b);

}  // namespace orvalt::test
