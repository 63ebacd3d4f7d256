#pragma once
// The judgement of one test against the loaded limits, and its line:
//   VERDICT TEST 2: PASS
//   VERDICT TEST 2: FAIL V4 4.70 > 4.50, CT 13.20 > 12.00
//   VERDICT TEST 3: ERROR stopped
// Values and bounds are compared and printed as the station shows them.

#include <span>
#include <string>
#include <vector>

#include "domain/NamedMeasurements.h"
#include "verdict/LimitsFile.h"

namespace orvalt {

enum class VerdictKind { Pass, Fail, Error };

// One measurement outside a bound, as the operator is told of it.
struct LimitBreach {
    std::string name;   // as the catalogue spells it
    std::string value;  // as the station shows it
    std::string bound;
    bool above = false;  // above the maximum, else below the minimum
};

struct TestVerdict {
    int testNumber = 0;  // as the log numbers tests: the plan row + 1
    VerdictKind kind = VerdictKind::Pass;
    // Fail: one "NAME VALUE < MIN" or "NAME VALUE > MAX" per measurement outside
    // its bounds, in the limits file's order. Error: the one reason.
    std::vector<std::string> reasons;
    // Fail: the same breaches, one per reason.
    std::vector<LimitBreach> breaches;
};

// A completed test. A limit on a measurement the test did not produce is not
// judged (an on/off repetition test has no V1, a one-cycle test no V1.c2).
TestVerdict JudgeTest(int testNumber, std::span<const NamedMeasurement> measurements,
                      const Limits& limits);

// A test that was abandoned or stopped before its end.
TestVerdict ErrorVerdict(int testNumber, std::string reason);

const char* VerdictWord(VerdictKind kind);

std::string TestVerdictLine(const TestVerdict& verdict);

std::string UnitVerdictLine(VerdictKind kind);

}  // namespace orvalt
