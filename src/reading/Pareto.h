#pragma once
// The failed runs among those a filter lets through, ranked by what they
// share: their reasons (reading/FailureReasons.h), the test that failed, the
// fixture or the station. A run counts once under each of its reasons or
// tests, and once under its fixture and its station.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "reading/FailureReasons.h"
#include "reading/RunFilter.h"
#include "records/SqlConnection.h"

namespace orvalt {

enum class ParetoGrouping { Reason, Test, Fixture, Station };

// "reason", "test", "fixture", "station": the word of a grouping, and the
// grouping of a word.
const char* ParetoGroupingWord(ParetoGrouping by);
std::optional<ParetoGrouping> ParetoGroupingFromWord(const std::string& word);

struct Pareto {
    std::int64_t runs = 0;        // the runs the filter let through
    std::int64_t failedRuns = 0;  // of them, those whose unit verdict is FAIL or ERROR
    // Most runs first, then by name: a reason; the test that failed ("Test 2
    // (cycle)"); "host / fixture" as yield names a fixture; the host.
    std::vector<FailureReason> rows;
};

Result<Pareto> QueryPareto(SqlConnection& connection, ParetoGrouping by, const RunFilter& filter);

}  // namespace orvalt
