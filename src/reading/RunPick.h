#pragma once
// Which runs a statement reads: a condition on the runs (`runs r`, with
// their keys `k`) and its parameters, so that one statement serves a day's
// runs read whole and the few that moved since the last read.

#include <cstdint>
#include <string>
#include <vector>

#include "records/SqlConnection.h"

namespace orvalt {

struct RunPick {
    std::string where;
    std::vector<SqlValue> params;
};

inline RunPick RunsStartedSince(const std::string& since) {
    return {"r.started_at >= $1", {since}};
}

// The new keys are picked first and their runs looked up, as the runs are
// many and the new keys few: written as a join, SQLite walked every run and
// looked each one's key up.
inline RunPick RunsKeyedAfter(std::int64_t key) {
    return {"r.run_uuid IN (SELECT n.run_uuid FROM run_keys n WHERE n.run_id > $1)", {key}};
}

}  // namespace orvalt
