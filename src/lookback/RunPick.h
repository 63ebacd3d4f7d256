#pragma once
// Which runs a statement reads: a condition on the runs (`runs r`, with
// their keys `k`) and its parameters, so that one statement serves a day's
// runs read whole and the few that moved since the last read.

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

}  // namespace orvalt
