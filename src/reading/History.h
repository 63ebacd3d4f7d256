#pragma once
// Looking back at runs: one line per run, newest first, filtered by unit serial,
// model and start date, and cut to the newest N.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "records/RecordValues.h"
#include "records/SqlConnection.h"

namespace orvalt {

struct HistoryFilter {
    std::optional<std::string> serial;
    std::optional<std::string> model;
    std::optional<std::string> since;  // YYYY-MM-DD, UTC
};

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
Result<void> EachHistoryRow(SqlConnection& connection, const HistoryFilter& filter,
                            std::optional<std::int64_t> limit,
                            const std::function<void(const HistoryRow&)>& take);
// Every run the filter lets through, gathered.
Result<std::vector<HistoryRow>> QueryHistory(SqlConnection& connection,
                                             const HistoryFilter& filter);

// True for a valid calendar date written YYYY-MM-DD.
bool IsIsoDate(const std::string& text);

}  // namespace orvalt
