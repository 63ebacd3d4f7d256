#pragma once
// A verdict's reasons as the operator at the fixture reads them, rather than
// as the limits file names them: "Level 4 light 4.70 V, above the 4.50 V
// maximum" where the runner prints "V4 4.70 > 4.50".

#include <string>
#include <string_view>
#include <vector>

#include "verdict/RunVerdicts.h"
#include "verdict/Verdict.h"

namespace orvalt {

// "Level 4 light", "Level 2 light in cycle 3", "Highest level 1 light",
// "Cycle time", "Time to OFF (A)"...; a name it does not know as it is.
std::string MeasurementWords(std::string_view name);

// "Level 4 light 4.70 V, above the 4.50 V maximum".
std::string BreachWords(const LimitBreach& breach);

// "Level 4 light above the 4.50 V maximum": the bound a breach broke without
// the unit's own value, as a reason many units share.
std::string BoundBrokenWords(const LimitBreach& breach);

// " V", " s", or nothing for a count: the unit the operator reads after a
// value of the measurement named `name`.
std::string UnitWords(std::string_view name);

// "Test 2": a test as the operator reads it, by the log's number.
std::string TestWords(int testNumber);

// The reasons a test did not pass, each led by its test: "Test 2: Cycle time
// 13.20 s, above the 12.00 s maximum", "Test 3 was stopped", "Test 5 was not
// judged: no limit applies to what it measured". None for a pass.
std::vector<std::string> TestReasonWords(const TestVerdict& test);

// Every reason of the run's tests that did not pass, each led by its test
// ("Test 2: Cycle time 13.20 s, above the 12.00 s maximum", "Test 3 was
// stopped") and, once the run is over, the tests it ended without.
std::vector<std::string> OperatorReasons(const RunVerdicts& verdicts, bool runOver);

}  // namespace orvalt
