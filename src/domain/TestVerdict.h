#pragma once
// A test's verdict as every reader of a run receives it: the window, the
// runner's verdict lines and the record all take this one value, judged once
// as the test ended (verdict/Verdict.h judges it).

#include <optional>
#include <string>
#include <vector>

namespace orvalt {

// NotJudged: the test completed, but no limit applied to anything it measured.
enum class VerdictKind { Pass, Fail, Error, NotJudged };

// One measurement outside a bound, as the operator is told of it; or one a
// limit applies to that the station could not measure (no value, no bound).
struct LimitBreach {
    std::string name;   // as the catalogue spells it
    std::string value;  // as the station shows it
    std::string bound;
    bool above = false;  // above the maximum, else below the minimum
    bool measured = true;
};

// One measurement a limit applied to: its bounds and whether it kept them.
struct MeasurementCheck {
    std::string name;  // as the catalogue spells it
    std::optional<double> min, max;
    bool passed = true;
};

struct TestVerdict {
    int testNumber = 0;  // as the log numbers tests: the plan row + 1
    VerdictKind kind = VerdictKind::Pass;
    // Fail: one "NAME VALUE < MIN" or "NAME VALUE > MAX" per measurement outside
    // its bounds, or "NAME not measured (no diagnostic data)", in the limits
    // file's order. Error and NotJudged: the one reason.
    std::vector<std::string> reasons;
    // Fail: the same breaches, one per reason.
    std::vector<LimitBreach> breaches;
    // Pass or Fail: every measurement of the test that a limit applied to, in
    // the limits file's order.
    std::vector<MeasurementCheck> checks;
};

}  // namespace orvalt
