#pragma once
// What a test came to, built once as it ends and before anybody is told of its
// end: the window, the runner, the record and the plot read these very values,
// so they cannot disagree on a figure, a verdict or where a crossing lies.

#include <optional>
#include <vector>

#include "domain/Crossing.h"
#include "domain/NamedMeasurements.h"
#include "domain/TestVerdict.h"

namespace orvalt {

// Empty for a test that did not complete: it has no figures to show.
struct TestOutcome {
    // Every figure under its one name, with its unit and shown decimals.
    std::vector<NamedMeasurement> measurements;
    // Against the limits in force at the run's start; none without limits.
    std::optional<TestVerdict> verdict;
    // Each reached threshold with the switch it was timed from.
    std::vector<Crossing> crossings;
};

}  // namespace orvalt
