#pragma once
// Yield: per model, driver or day, how many tests and units were tested, how
// many tests completed and how many were abandoned or stopped, and how many
// passed or failed where verdicts exist.

#include <optional>
#include <string>
#include <vector>

#include "records/SqlConnection.h"

namespace orvalt {

enum class YieldGrouping { Model, Driver, Day };

std::optional<YieldGrouping> YieldGroupingFromWord(const std::string& word);

struct YieldRow {
    std::string group;
    std::int64_t tests = 0, units = 0, completed = 0, abandoned = 0, passed = 0, failed = 0;
};

Result<std::vector<YieldRow>> QueryYield(SqlConnection& connection, YieldGrouping by,
                                         const std::optional<std::string>& since);

// A header line and one aligned line per group.
std::string YieldTable(const std::vector<YieldRow>& rows, YieldGrouping by);

}  // namespace orvalt
