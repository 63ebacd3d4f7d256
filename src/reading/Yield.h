#pragma once
// Yield per model, driver, day, lot, station or fixture: tests and units, completed,
// abandoned or stopped, passed or failed; then first-pass and final yield over
// the units' attempts. A unit is a serial number within the group and only its
// completed, judged runs count: a stopped run is lost time, never a failure.
// The counting rules: docs/design/yield.md.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reading/RunFilter.h"
#include "records/SqlConnection.h"

namespace orvalt {

enum class YieldGrouping { Model, Driver, Day, Lot, Station, Fixture };

// "model", "driver", "day", "lot", "station", "fixture" (host / fixture): the word of a grouping,
// and the grouping of a word.
const char* YieldGroupingWord(YieldGrouping by);
std::optional<YieldGrouping> YieldGroupingFromWord(const std::string& word);

struct YieldRow {
    std::string group;
    std::int64_t tests = 0, units = 0, completed = 0, abandoned = 0, passed = 0, failed = 0;
    // Units with at least one completed, judged run; of them, those whose
    // first such run passed, those whose last one passed, and those whose last
    // one did not (still failing). Retests: their judged runs beyond the first.
    std::int64_t judgedUnits = 0, firstPass = 0, finalPass = 0, stillFailing = 0, retests = 0;
    // Runs that were stopped or abandoned, and their time from start to end.
    std::int64_t lostRuns = 0, lostMs = 0;
};

// The group of a run under `runs r` as SQL: "host / fixture" for a fixture
// (the host alone for a station without fixtures), the host for a station.
const char* YieldGroupSql(YieldGrouping by);

// The columns YieldCounter::Add reads, as a select list over `runs r`: this
// many, the group first, then the serial, start, end, how it ended, verdict
// and tally.
inline constexpr std::size_t kYieldColumns = 10;
std::string YieldColumnsSql(YieldGrouping by);

// Adds up runs handed in the order (group, serial, start) into one row per
// group: the ordered stream of runs is read once, whatever its length, in the
// memory of one group and one unit.
class YieldCounter {
  public:
    // One run: its group and its columns as YieldSql selects them.
    void Add(const SqlRow& run);
    // The rows of every group, in the order they came.
    std::vector<YieldRow> Finish();

  private:
    void CloseUnit();
    void CloseGroup();

    std::vector<YieldRow> rows_;
    std::optional<SqlCell> group_;  // none before the first run
    YieldRow current_;
    // The unit being read: its serial (empty: a run without one), and its
    // completed, judged runs so far.
    std::optional<std::string> serial_;
    std::int64_t judgedRuns_ = 0;
    bool firstPassed_ = false, lastPassed_ = false;
};

// Over the runs the filter lets through (its since and until a date,
// "2026-12-07", or a time as the records keep them,
// "2026-12-07T23:00:00.000Z").
Result<std::vector<YieldRow>> QueryYield(SqlConnection& connection, YieldGrouping by,
                                         const RunFilter& filter);

// Milliseconds from one UTC ISO 8601 time as the records keep them
// ("2026-12-07T12:50:21.123Z") to another; none when either is no such time.
std::optional<std::int64_t> MillisecondsBetween(const std::string& from, const std::string& to);

}  // namespace orvalt
