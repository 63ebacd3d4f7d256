#pragma once
// Which runs a reader looks at: one filter for history, yield, export, spc,
// rejudge, the Pareto and the dashboard's pages, so that the same words pick
// the same runs wherever they are asked.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "records/SqlConnection.h"

namespace orvalt {

struct RunFilter {
    // Started on or after `since` and on or before `until`: days YYYY-MM-DD
    // (UTC, the whole day included) or times as the records keep them.
    std::optional<std::string> since{}, until{};
    std::optional<std::string> model{}, lot{};
    std::optional<std::string> station{};  // the host that tested
    std::optional<std::string> fixture{};  // "" for a station without fixtures
    // One unit's serial, exactly; every serial that starts with serialStart.
    std::optional<std::string> serial{}, serialStart{};
    // The unit's verdict word (PASS, FAIL, ERROR, NOT JUDGED, any case), or
    // "none" for the runs that have none.
    std::optional<std::string> verdict{};

    bool operator==(const RunFilter&) const = default;
};

// The filter's conditions on the runs table under `alias`, each as
// " AND ...", with their values appended to `params` and numbered after the
// ones already there and the `before` the statement takes ahead of them;
// empty when the filter lets every run through.
std::string RunFilterSql(const RunFilter& filter, std::vector<SqlValue>& params,
                         std::string_view alias = "r", std::size_t before = 0);

// True for a valid calendar date written YYYY-MM-DD.
bool IsIsoDate(const std::string& text);

// Why a value can't be one of the filter's; empty when it can.
std::string RunFilterDayProblem(const std::string& text);
std::string RunFilterVerdictProblem(const std::string& text);

// "SN-*" asks for every serial that starts with "SN-", anything else for one
// serial: how the command line and the dashboard read what was typed.
void SetSerialAsTyped(RunFilter& filter, const std::string& typed);

// "model X100, lot L-7, since 2026-12-01": what the filter keeps, for a
// heading; "every run" when nothing is filtered.
std::string RunFilterText(const RunFilter& filter);

}  // namespace orvalt
