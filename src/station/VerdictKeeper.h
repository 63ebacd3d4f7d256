#pragma once
// Builds each test's outcome as it ends (its named figures, its crossings and
// its verdict against the limits in force at the run's start), and keeps the
// run's verdicts, read from those outcomes, for the window and the runner.
// Without limits at a run's start that run gets no verdicts at all.
//
// Threads: the test and run events arrive on the worker's thread; the limits,
// the plan and the snapshots are taken on the handler thread. One lock guards
// both sides, and a snapshot is a copy.

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

#include "domain/SessionObserver.h"
#include "verdict/LimitsFile.h"
#include "verdict/RunVerdicts.h"
#include "verdict/Verdict.h"

namespace orvalt {

struct VerdictSnapshot {
    bool started = false;  // a run has begun since the session opened
    bool judged = false;   // the run had limits
    bool runOver = false;  // the run has ended, however
    RunVerdicts verdicts;
    // Grows with every change, so a viewer redraws only when it moved.
    std::uint64_t version = 0;
};

// The unit's verdict as a run's record keeps it, once a run with limits is
// over; none for a run without limits or still going.
std::optional<VerdictKind> UnitVerdictOf(const VerdictSnapshot& snapshot);

class VerdictKeeper : public SessionObserver {
  public:
    // Null: no limits from the next run on.
    void UseLimits(const Limits* limits);
    // Other limits were loaded: a finished run's verdict was drawn from the
    // ones before, so it is no longer shown beside them (READY again). A run
    // still going keeps its verdicts.
    void ForgetFinishedRun();
    // How many tests the next run plans: the unit passes only when all passed.
    void UsePlannedTests(std::size_t count);
    VerdictSnapshot Snapshot() const;
    // What a test came to; empty for a test that did not complete, without a
    // verdict in a run without limits. The worker's thread, before the test's
    // end is told.
    TestOutcome OutcomeOf(const TestEnd& test) const;

    void RunStarted(int runNumber) override;
    void RunEnded(int runNumber, RunEnd how) override;
    void TestEnded(const TestEnd& test) override;

  private:
    void Changed() { ++state_.version; }

    mutable std::mutex mutex_;
    std::optional<Limits> limits_;
    std::optional<Limits> runLimits_;
    std::size_t planned_ = 0;
    VerdictSnapshot state_;
    // A test that ended early: its ERROR waits for the run's end to name why.
    std::optional<int> unfinishedRow_;
};

}  // namespace orvalt
