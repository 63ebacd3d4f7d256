#pragma once
// Runs of the dashboard's tests, written as the recorder writes them: a
// station's fixture testing a unit, started a minute ago.

#include <chrono>
#include <string>

#include "records/SqlConnection.h"

namespace orvalt::test {

struct RunPlan {
    std::string uuid, host, fixture, serial, model;
    std::string verdict = "PASS";
    bool ended = true;             // false: it goes on
    std::chrono::seconds ago{60};  // when it started, and its tests ended
};

// Two completed tests with the run's verdict; a failure is added when the
// run can't be written.
void AddRun(SqlConnection& db, const RunPlan& plan);

}  // namespace orvalt::test
