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
#include "lineview/LineParts.h"
#include "lineview/LineRuns.h"
#include "reading/FailureReasons.h"
#include "reading/Yield.h"
#include "records/SqlConnection.h"
#include "spc/OpenAlarms.h"

namespace orvalt {

struct LineView {
    LineMoment moment;
    std::vector<FixtureCard> fixtures;  // by host, then fixture
    std::vector<YieldRow> yieldToday;   // by model
    std::vector<FailureReason> pareto;  // most runs first
    std::vector<OpenAlarm> alarms;      // newest first
    // When a fixture testing now turns not seen unless its run is heard of
    // before (UTC, ISO 8601; empty when none is testing). Nothing reaches the
    // records then, so the change mark does not tell it: build the view again
    // at that moment.
    std::string recheckAt;
};

// The view at `moment`, whose times may leave out the milliseconds and the Z
// (they are read as UTC); a time that does not read as one fails.
Result<LineView> LoadLineView(SqlConnection& connection, const LineMoment& moment);
// The same for a viewer that reads the line again and again: `runs` keeps
// the runs of the window and reads again only those that moved, `alarms`
// remembers which series it judged, and judges again only those that moved.
Result<LineView> LoadLineView(SqlConnection& connection, const LineMoment& moment,
                              LineRunsReader& runs, OpenAlarmsReader& alarms);

}  // namespace orvalt
