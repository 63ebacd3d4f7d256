#pragma once
// The verdicts of one run and the unit's verdict drawn from them. The unit
// passes only when every planned test passed; a failed limit anywhere makes it
// FAIL; otherwise a test that ended in error, or tests never reached, make it
// ERROR; otherwise a test that no limit judged makes it NOT JUDGED.

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "verdict/Verdict.h"

namespace orvalt {

class RunVerdicts {
  public:
    // A new run of `plannedTests` tests: the verdicts of the last run go.
    void Start(std::size_t plannedTests);
    void Add(TestVerdict verdict);

    const std::vector<TestVerdict>& Tests() const { return tests_; }
    // The unit's verdict once the run is over, however it ended.
    VerdictKind Unit() const;
    // What is already certain while the run goes on: FAIL or ERROR as soon as a
    // test got one, PASS once every planned test passed, else nothing.
    std::optional<VerdictKind> SoFar() const;

    // Planned tests without a verdict (a run that ended before them).
    std::size_t Missing() const { return tests_.size() < planned_ ? planned_ - tests_.size() : 0; }

    // One VERDICT TEST line per judged test, then the VERDICT UNIT line.
    std::vector<std::string> Lines() const;
    // "TEST 2: V4 4.70 > 4.50" for each reason of every test that did not pass.
    std::vector<std::string> Reasons() const;

  private:
    bool Any(VerdictKind kind) const;

    std::size_t planned_ = 0;
    std::vector<TestVerdict> tests_;
};

}  // namespace orvalt
