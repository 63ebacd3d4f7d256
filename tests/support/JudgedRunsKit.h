#pragma once
// Runs judged against limits, recorded through the recorder as a station
// records them: the plan's text and the limits' text with their hashes, each
// completed test's figures (with their units and decimals) judged by the
// station's own judge, the unit's verdict drawn from the test verdicts, and a
// short trace. A shift of units: most pass at once, some fail and pass on
// retest, some runs are stopped by the operator.

#include <cstdint>
#include <string>

#include "recording/RunRecorder.h"

namespace orvalt::test {

// The plan every judged run follows: three tests, two cycle tests and an
// on/off repetition test.
extern const char* const kJudgedPlanText;
// The limits it is judged against: V4 at most 4.50, among others.
extern const char* const kJudgedLimitsText;

// How one run goes.
enum class JudgedRunKind { Pass, Fail, Stopped };

struct JudgedRunsMade {
    std::int64_t runs = 0, passed = 0, failed = 0, stopped = 0;
};

// One run of unit `serial`, started `minute` minutes after the shift began
// (2026-12-01T06:00Z); `seed` varies its figures.
void RecordJudgedRun(RunRecorder& recorder, const std::string& serial, std::int64_t minute,
                     JudgedRunKind kind, std::int64_t seed, JudgedRunsMade& made);

// `runs` runs of a shift, one a minute: each unit passes at once, except one
// in five, which fails and passes on retest, and one in forty, whose first run
// is stopped before its retest passes.
JudgedRunsMade RecordJudgedShift(RunRecorder& recorder, std::int64_t runs);

}  // namespace orvalt::test
