#pragma once
// A model's measurement series read from the records and judged for drift.
// The baseline is frozen by an engineer, or else the first units of the model
// that completed the test (whatever window is looked at: a centre taken from
// the units being judged would drift along with them).

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "base/Result.h"
#include "spc/BaselineSetting.h"
#include "spc/MeasuredSeries.h"
#include "spc/JudgedSeries.h"

namespace orvalt {

// The frozen baseline of a series of the model, if any.
using FrozenLookup =
    std::function<std::optional<FrozenBaseline>(int testIndex, const std::string& measurement)>;

// The series' baseline from its model's first units (on `station` alone,
// when given); none while there are fewer than a baseline takes.
Result<std::optional<Baseline>> FirstUnitsBaseline(
    SqlConnection& connection, const std::string& model, const MeasuredSeries& series,
    const std::optional<SeriesStation>& station = std::nullopt);

// One series judged: its spread, capability, baseline and rule hits, under
// `name` (SeriesName among the model's series).
Result<JudgedSeries> JudgeSeries(SqlConnection& connection, const std::string& model,
                              MeasuredSeries series, std::string name, const FrozenLookup& frozen);

// Every series of the query judged; a clear message when the model has no
// runs, no such measurement, or nothing in the window.
Result<std::vector<JudgedSeries>> LoadSpc(SqlConnection& connection, const SeriesQuery& query,
                                       const FrozenLookup& frozen);

// The baseline of each series from the units the window picks; a series with
// fewer than kBaselineUnits units is left out. Fails as LoadSpc does.
Result<std::vector<SeriesBaseline>> BaselinesToFreeze(SqlConnection& connection,
                                                      const SeriesQuery& query,
                                                      const std::string& frozenAt,
                                                      std::vector<std::string>& tooShort);

}  // namespace orvalt
