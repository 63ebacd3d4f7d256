#pragma once
// A model's measurement series read back for drift: one series per
// measurement of one test of the plan and the bounds that judged it, one
// point per completed test, in the order the runs started. The first units
// make the baseline; a window picks the units a check or a chart looks at.

#include <compare>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "records/SqlConnection.h"

namespace orvalt {

// The run a point was measured in; the points of one run share it.
struct SeriesRun {
    std::string runUuid;
    std::string startedAt;
    std::string serial;
    std::optional<std::int64_t> attempt;
    std::string limitsSha256;  // of the limits that judged it; empty: none
    std::int64_t key = 0;      // run_keys.run_id
};

struct SeriesPoint {
    std::shared_ptr<const SeriesRun> run;
    double value = 0.0;
};

struct MeasuredSeries {
    int testIndex = 0;        // 0-based row of the plan
    std::string measurement;  // the station's name of the figure
    std::string unit;
    int decimals = 2;
    // The bounds every point was held to; none when not judged (or, for a
    // series read whole, not told).
    std::optional<double> min, max;
    std::vector<SeriesPoint> points;
};

// Which runs of the model: the first or last N (oldest or newest), or those
// started on or after a date (YYYY-MM-DD); all when none is given.
struct SeriesWindow {
    std::optional<std::size_t> first;
    std::optional<std::size_t> last;
    std::optional<std::string> since;
};

// Where units were tested: one station (its host name) and fixture ("" for a
// station without fixtures), as the runs record them.
struct SeriesStation {
    std::string host, fixture;
    auto operator<=>(const SeriesStation&) const = default;
};

struct SeriesQuery {
    std::string model;
    std::optional<std::string> measurement;  // one figure's name, exactly
    SeriesWindow window;
    // The points alone: each series' unit, digits and bounds are not looked
    // up (one more query a series and limits, which a server answers one
    // round trip at a time), and keep their defaults.
    bool pointsOnly = false;
    // Each measurement of a test read whole, whatever limits judged its
    // points: for the control-chart rules, which no limit moves. The series
    // then tells no bounds. Else (and never with pointsOnly) the points
    // judged by other bounds are a series of their own.
    bool wholeMeasurement = false;
    // One station's and fixture's runs of the model; none: every station's.
    std::optional<SeriesStation> station{};
};

// The series, ordered by test, then measurement name, then the first point
// each holds. A run's limits (by their hash) bound the figure alike for each
// of its points: runs judged by limits that bound it alike are one series,
// runs not judged are one, whatever else their limits bound.
Result<std::vector<MeasuredSeries>> LoadMeasuredSeries(SqlConnection& connection,
                                                 const SeriesQuery& query);

// The values of the first `count` completed tests of the model's runs (on
// `station` alone, when given) that measured `measurement` in the test
// `testIndex`, oldest first: a series' first units, whatever window its chart
// shows.
Result<std::vector<double>> LoadFirstValues(SqlConnection& connection, const std::string& model,
                                            int testIndex, const std::string& measurement,
                                            std::size_t count,
                                            const std::optional<SeriesStation>& station = {});

// Whether any run of the model is recorded.
Result<bool> ModelRecorded(SqlConnection& connection, const std::string& model);

// The names of the figures the model's completed tests recorded, sorted.
Result<std::vector<std::string>> MeasurementNamesOf(SqlConnection& connection,
                                                    const std::string& model);

// "TimeToOffA" when only one test of `all` gives that figure, else
// "TimeToOffA of test 2" (counted from 1, as the report counts tests); when
// `all` holds the same figure of the same test under other bounds, with the
// bounds: "V4 of test 2, limits - .. 4.50", "V4 of test 2, no limits".
std::string SeriesName(const MeasuredSeries& series, const std::vector<MeasuredSeries>& all);

// "limits 0.00 .. 1.00" ("-" for a side not bounded), or "no limits".
std::string SeriesLimitsText(const MeasuredSeries& series);

// "SN-7 #2", or "-" for a run without a serial.
std::string PointLabel(const SeriesPoint& point);

}  // namespace orvalt
