#pragma once
// Looking back at runs: one line per run, newest first, those the filter
// lets through, cut to the newest N.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "reading/RunFilter.h"
#include "records/RecordValues.h"
#include "records/SqlConnection.h"

namespace orvalt {

struct HistoryRow {
    std::string uuid, startedAt, endedAt, endedHow, host, operatorName;
    std::string manufacturer, model, driverModel, serial, planName;
    int tests = 0;
    int completedTests = 0;
    // The unit's verdict; none when not judged.
    std::optional<StoredVerdict> verdict;
    // Which run on its unit this was; none without a serial number.
    std::optional<std::int64_t> attempt;
    std::string fixture;  // empty: a station without fixtures
};

// Hands the runs to `take` one by one, newest first, as the database yields
// them (the newest `limit` only, when given): a history of any length is
// printed in the memory of one run.
Result<void> EachHistoryRow(SqlConnection& connection, const RunFilter& filter,
                            std::optional<std::int64_t> limit,
                            const std::function<void(const HistoryRow&)>& take);
// The UUIDs of the runs the filter lets through, oldest first.
Result<std::vector<std::string>> FilteredRunUuids(SqlConnection& connection,
                                                  const RunFilter& filter);

// Every run the filter lets through, gathered.
Result<std::vector<HistoryRow>> QueryHistory(SqlConnection& connection, const RunFilter& filter);

}  // namespace orvalt
