#pragma once
// What other limits would have made of recorded runs: each run's stored
// figures judged by them, beside what its record says, without changing a
// record. The first question before a limits change.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "domain/TestVerdict.h"
#include "reading/Rejudge.h"
#include "records/SqlConnection.h"
#include "verdict/LimitsFile.h"

namespace orvalt {

// One measurement of one test: how many runs' outcomes the other limits turn.
struct MeasurementShift {
    int testIndex = 0;  // 0-based row of the plan
    std::string measurement;
    std::int64_t passToFail = 0, failToPass = 0;
    // Judged now where no limit judged it, or no longer judged.
    std::int64_t nowJudged = 0, noLongerJudged = 0;
};

// A run whose unit verdict the other limits change.
struct ChangedRun {
    std::string uuid, startedAt, model, serial;
    std::optional<std::int64_t> attempt;
    std::string before;  // the stored verdict word, "none" without one
    VerdictKind after = VerdictKind::Pass;
    std::vector<std::string> reasons;  // under the other limits
};

struct WhatIf {
    // Ended runs the filter let through; of them, those whose plan no longer
    // reads (left out of everything below).
    std::int64_t runs = 0, cantJudge = 0;
    // Runs whose unit verdict is PASS as recorded, and under the other limits.
    std::int64_t passedBefore = 0, passedAfter = 0;
    std::vector<MeasurementShift> shifts;  // by test, then measurement; only those that moved
    std::vector<ChangedRun> changed;       // in the order the runs started
};

// Judges the ended runs of `scope` (the one run, or those its filter lets
// through) by `limits`, one run in memory at a time. Fails when the database
// can't be read, or the run named is not recorded.
Result<WhatIf> JudgeUnderLimits(SqlConnection& connection, const RejudgeScope& scope,
                                const Limits& limits);

}  // namespace orvalt
