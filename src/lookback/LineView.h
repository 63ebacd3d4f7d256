#pragma once
// The line at a glance, as the results database tells it: each station and
// fixture that recorded lately (testing, idle, or gone quiet), today's yield
// per model, today's failure reasons by how often they stopped a unit, and the
// drift alarms whose pattern still goes on. One read of the records, for any
// number of pages that show it.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "lookback/Yield.h"
#include "records/SqlConnection.h"

namespace orvalt {

class OpenAlarmsReader;

// Testing: the fixture's newest run has not ended and was heard of within
// LineMoment::notSeenAfter. NotSeen: it has not ended and was not heard of
// for longer (a station that died, hung or lost its database mid-run). Idle:
// it ended, however long ago: a station writes nothing while it waits for the
// next unit, so silence after an end is no sign of trouble, and a break would
// otherwise turn the whole line "not seen".
enum class FixtureState { Testing, Idle, NotSeen };

// One station (host) and fixture ("" for a station without fixtures).
struct FixtureCard {
    std::string host, fixture;
    FixtureState state = FixtureState::Idle;
    // The newest moment anything of the fixture's newest run reached the
    // records: its start, a test's start or end, its end, or while it runs
    // the newest power switch of its trace (the test's start plus the
    // switch's time in the test, so a long test is still heard of between its
    // start and its end). UTC, ISO 8601.
    std::string lastSeenAt;
    // The fixture's newest run (by start): the one in progress when the
    // state is Testing or NotSeen, else the one that ended.
    std::string runUuid, serial, model, startedAt;
    std::int64_t testsBegun = 0;
    std::int64_t testsInPlan = 0;  // rows of the run's plan; 0 when its plan does not read
    // The fixture's run that ended last among those started since
    // LineMoment::stationsSince: its serial, when and how it ended and its
    // unit verdict ("PASS", "FAIL", "ERROR"; empty: not judged); empty
    // strings when none of them ended.
    std::string lastSerial, lastEndedAt, lastEndedHow, lastVerdict;
};

// A reason units failed today, with how many runs it failed: "TimeToOffA
// above the maximum", "V4 below the minimum" (a measurement as a limits file
// names it), "ERROR: stopped", "ERROR: abandoned", "ERROR: not completed";
// "FAIL without a failed measurement recorded" for a failed run whose
// measurements kept no outcome (recorded before they did).
struct FailureReason {
    std::string reason;
    std::int64_t runs = 0;
};

// A series that alarmed since LineMoment::alarmsSince and whose newest unit
// still breaks a control-chart rule as `orvalt-cli spc` judges it, with the
// model's first units as baseline (a baseline frozen at a station is kept in
// that station's settings, not in the records); with the newest alarm it
// raised.
struct OpenAlarm {
    std::string model, series;  // series: SeriesName ("TimeToOffA", "V4 of test 2")
    int testIndex = 0;
    std::string measurement;
    int rule = 0;
    std::string side;  // "above" or "below"
    std::string text;  // the newest alarm's line as the station showed it
    std::string raisedAt, serial, runUuid;
    std::int64_t alarmsLately = 0;  // alarms of the series within the look-back
    // The series' newest unit, which still breaks a rule, and the first rule
    // it breaks as spc says it ("8 units in a row above the centre (rule 4)").
    std::string newestSerial;
    std::string newestBreaks;
};

struct LineMoment {
    std::string now;         // UTC, ISO 8601 with milliseconds
    std::string todayStart;  // the local day's midnight in UTC, ISO 8601
    // A fixture whose newest run has not been heard of for this long is not
    // seen; fixtures that recorded nothing since `stationsSince` are left out.
    std::chrono::minutes notSeenAfter{10};
    std::string stationsSince;  // UTC, ISO 8601
    std::string alarmsSince;    // UTC, ISO 8601
};

struct LineView {
    LineMoment moment;
    std::vector<FixtureCard> fixtures;  // by host, then fixture
    std::vector<YieldRow> yieldToday;   // by model
    std::vector<FailureReason> pareto;  // most runs first
    std::vector<OpenAlarm> alarms;      // newest first
    // When a fixture testing now turns not seen unless its run is heard of
    // before (UTC, ISO 8601; empty when none is testing). Nothing reaches the
    // records then, so LineChangeMark does not tell it: build the view again
    // at that moment.
    std::string recheckAt;
};

// The view at `moment`, whose times may leave out the milliseconds and the Z
// (they are read as UTC); a time that does not read as one fails.
Result<LineView> LoadLineView(SqlConnection& connection, const LineMoment& moment);
// The same for a viewer that reads the line again and again: `alarms`
// remembers which series it judged, and judges again only those that moved.
Result<LineView> LoadLineView(SqlConnection& connection, const LineMoment& moment,
                              OpenAlarmsReader& alarms);

// A text that changes whenever a run starts, a test of a run in progress
// begins or ends, a run ends, or an alarm is recorded; read from indexes
// alone, so that it can be asked often.
Result<std::string> LineChangeMark(SqlConnection& connection);

// The statements LineChangeMark runs, to see how a database answers them.
std::vector<std::string> LineChangeMarkStatements();

}  // namespace orvalt
