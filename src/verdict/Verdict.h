#pragma once
// The judgement of one test against the loaded limits, and its line:
//   VERDICT TEST 2: PASS
//   VERDICT TEST 2: FAIL V4 4.70 > 4.50, CT 13.20 > 12.00
//   VERDICT TEST 3: ERROR stopped
//   VERDICT TEST 5: NOT JUDGED no limit applies to its measurements
// Values and bounds are compared and printed as the station shows them.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "domain/NamedMeasurements.h"
#include "domain/TestVerdict.h"
#include "verdict/LimitsFile.h"

namespace orvalt {

// A completed test. A limit on a measurement the test did not produce is not
// judged (an on/off repetition test has no V1, a one-cycle test no V1.c2), but
// for a diagnostic figure of a test whose Time-to-OFF step ran without any
// diagnostic data: that figure was not measured, and the test fails. A test
// that no limit judged at all is NotJudged, never a pass.
TestVerdict JudgeTest(int testNumber, std::span<const NamedMeasurement> measurements,
                      const Limits& limits);

// A test that was abandoned or stopped before its end.
TestVerdict ErrorVerdict(int testNumber, std::string reason);

std::string TestVerdictLine(const TestVerdict& verdict);

// A test's verdict read back from its record: its kind and the reasons as the
// line writes them after the word ("V4 4.70 > 4.50, CT 13.20 > 12.00"). A
// failure's breaches are read back from its reasons; none when one of them is
// not a reason this station writes (a foreign or damaged record). The bounds
// each measurement was held to are not in the reasons: `checks` stays empty.
std::optional<TestVerdict> RecordedTestVerdict(int testNumber, VerdictKind kind,
                                               std::string_view reasons);

std::string UnitVerdictLine(VerdictKind kind);

}  // namespace orvalt
