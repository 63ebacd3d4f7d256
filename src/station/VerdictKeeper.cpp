#include "station/VerdictKeeper.h"

#include "domain/Crossing.h"
#include "domain/NamedMeasurements.h"
#include "verdict/Verdict.h"

namespace orvalt {

namespace {

// Tests are numbered as the log numbers them: the plan row + 1.
int TestNumber(int row) {
    return row + 1;
}

const char* ErrorReason(RunEnd how) {
    return how == RunEnd::Stopped ? "stopped" : "abandoned";
}

}  // namespace

std::optional<VerdictKind> UnitVerdictOf(const VerdictSnapshot& snapshot) {
    if (!snapshot.judged || !snapshot.runOver) {
        return std::nullopt;
    }
    return snapshot.verdicts.Unit();
}

void VerdictKeeper::UseLimits(const Limits* limits) {
    std::scoped_lock lock(mutex_);
    limits_ = limits ? std::optional<Limits>(*limits) : std::nullopt;
}

void VerdictKeeper::ForgetFinishedRun() {
    std::scoped_lock lock(mutex_);
    if (state_.started && state_.runOver) {
        state_.started = false;
        state_.verdicts.Start(planned_);
        Changed();
    }
}

void VerdictKeeper::UsePlannedTests(std::size_t count) {
    std::scoped_lock lock(mutex_);
    planned_ = count;
}

VerdictSnapshot VerdictKeeper::Snapshot() const {
    std::scoped_lock lock(mutex_);
    return state_;
}

void VerdictKeeper::RunStarted(int /*runNumber*/) {
    std::scoped_lock lock(mutex_);
    runLimits_ = limits_;
    unfinishedRow_.reset();
    state_.started = true;
    state_.judged = runLimits_.has_value();
    state_.runOver = false;
    state_.verdicts.Start(planned_);
    Changed();
}

TestOutcome VerdictKeeper::OutcomeOf(const TestEnd& test) const {
    TestOutcome outcome;
    if (!test.completed) {
        return outcome;
    }
    const TestShape shape{test.cycleMode, test.cycles, test.switchOffLevel};
    outcome.measurements = NameMeasurements(test.measurements, shape);
    if (test.originTick) {
        outcome.crossings = CrossingsOf(test.measurements, shape, *test.originTick);
    }
    std::scoped_lock lock(mutex_);
    if (runLimits_) {
        outcome.verdict = JudgeTest(TestNumber(test.row), outcome.measurements, *runLimits_);
    }
    return outcome;
}

void VerdictKeeper::TestEnded(const TestEnd& test) {
    std::scoped_lock lock(mutex_);
    if (runLimits_ && !test.completed) {
        unfinishedRow_ = test.row;
        return;
    }
    if (test.outcome.verdict) {
        state_.verdicts.Add(*test.outcome.verdict);
        Changed();
    }
}

void VerdictKeeper::RunEnded(int /*runNumber*/, RunEnd how) {
    std::scoped_lock lock(mutex_);
    if (runLimits_ && unfinishedRow_) {
        state_.verdicts.Add(ErrorVerdict(TestNumber(*unfinishedRow_), ErrorReason(how)));
    }
    unfinishedRow_.reset();
    state_.runOver = true;
    Changed();
}

}  // namespace orvalt
