#include "station/VerdictKeeper.h"

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

void VerdictKeeper::UseLimits(const Limits* limits) {
    std::scoped_lock lock(mutex_);
    limits_ = limits ? std::optional<Limits>(*limits) : std::nullopt;
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

std::optional<TestVerdict> VerdictKeeper::Judge(const TestEnd& test) const {
    std::scoped_lock lock(mutex_);
    return JudgeLocked(test);
}

std::optional<TestVerdict> VerdictKeeper::JudgeLocked(const TestEnd& test) const {
    if (!runLimits_ || !test.completed) {
        return std::nullopt;
    }
    const TestShape shape{test.cycleMode, test.cycles, test.switchOffLevel};
    return JudgeTest(TestNumber(test.row), NameMeasurements(test.measurements, shape), *runLimits_);
}

void VerdictKeeper::TestEnded(const TestEnd& test) {
    std::scoped_lock lock(mutex_);
    if (runLimits_ && !test.completed) {
        unfinishedRow_ = test.row;
        return;
    }
    if (const std::optional<TestVerdict> verdict = JudgeLocked(test)) {
        state_.verdicts.Add(*verdict);
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
