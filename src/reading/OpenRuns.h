#pragma once
// The runs not ended, each with its model and how far its tests got: what
// moves while a run goes on. Read from the index by end, so that it can be
// asked often.

#include <map>
#include <string>

#include "base/Result.h"
#include "records/SqlConnection.h"

namespace orvalt {

struct OpenRun {
    std::string model;
    // The run's tally and its tests that ended, as one text: a test that
    // begins or ends changes it, and a test that ends without moving the
    // tally (abandoned, the run going on) still adds an end.
    std::string tally;
};

using OpenRuns = std::map<std::string, OpenRun>;  // by run uuid

Result<OpenRuns> ReadOpenRuns(SqlConnection& connection);

// The statement ReadOpenRuns runs, to see how a database answers it.
const char* OpenRunsStatement();

}  // namespace orvalt
