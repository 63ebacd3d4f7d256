#include "execution/TestRunWorker.h"

#include <algorithm>
#include <utility>

#include "domain/TestMeasurements.h"
#include "execution/Primitives.h"
#include "execution/TestSequence.h"
#include "results/SummaryLine.h"

namespace orvalt {

namespace {

// Runs one test; false when the run must end here (abandoned test, or a stop
// that arrived after the test's end, in which case nothing more is posted).
enum class TestEnding { Completed, Abandoned, StopRequested };

void TellTestEnded(const RunRecord& run, const TestPlanEntry& entry, const std::string* line,
                   const TestMeasurements& measurements) {
    if (run.events) {
        TestEnd test;
        test.row = entry.index;
        test.measurements = measurements;
        test.cycleMode = entry.P1 != 0;
        test.cycles = std::clamp<int>(run.ttoCycle, 1, 4);
        test.switchOffLevel = std::clamp<int>(run.ttoLevel, 1, 4);
        run.events->TestEnded(std::move(test), line);
    }
}

// The last test of the run leaves the device before its end is told, so that
// the unit's switch-off belongs to the test in the record.
TestEnding RunOneTest(RunRecord& run, const TestPlanEntry& entry, std::int32_t& cycleN,
                      bool lastInPlan) {
    if (run.progress) {
        run.progress->BeginTest(entry.index);
    }
    if (run.events) {
        run.events->TestStarted(entry.index);
    }
    TestMeasurements measurements;
    const bool ranThrough =
        RunTestSequence(run, run.deviceHandle, entry.index, entry, measurements);
    const bool goesOn = ranThrough && RunGoesOn(run);
    if (!goesOn || lastInPlan) {
        LeaveUnitOff(run, run.deviceHandle);
    }
    if (!goesOn) {
        TellTestEnded(run, entry, nullptr, measurements);
        return ranThrough ? TestEnding::StopRequested : TestEnding::Abandoned;
    }
    std::int32_t unusedLevel = 0;
    DecodeTtoOption(entry.P5, cycleN, unusedLevel);
    SummaryFields summary = SummarizeTest(run.description, cycleN, measurements, TodayLocal());
    std::string line = summary.Text();
    run.io.summaryLines->Append(std::move(summary));
    TellTestEnded(run, entry, &line, measurements);
    PostProgress(run, ProgressLog, 0, std::move(line));
    if (run.progress) {
        run.progress->TestCompleted();
    }
    return TestEnding::Completed;
}

// A stop that abandoned a test mid-way is a stop, not a device failure.
RunEnd HowItEnded(const RunRecord& run, TestEnding last) {
    if (last == TestEnding::Completed) {
        return RunEnd::Completed;
    }
    return RunGoesOn(run) ? RunEnd::Abandoned : RunEnd::Stopped;
}

TestEnding RunPlan(RunRecord& run) {
    std::int32_t cycleN = run.ttoCycle;
    if (run.testPlan) {
        for (const TestPlanEntry& entry : run.testPlan->entries) {
            const bool last = &entry == &run.testPlan->entries.back();
            const TestEnding outcome = RunOneTest(run, entry, cycleN, last);
            if (outcome != TestEnding::Completed) {
                return outcome;
            }
        }
    }
    return TestEnding::Completed;
}

}  // namespace

int TestRunWorker(RunRecord& run, int runNumber) {
    run.io.summaryLines->Clear();
    if (run.events) {
        run.events->RunStarted();
    }
    const TestEnding outcome = RunPlan(run);
    if (run.events) {
        run.events->RunEnded(HowItEnded(run, outcome));
    }
    if (outcome != TestEnding::StopRequested && run.window) {
        run.window->Post(RunDoneMessage{runNumber});
    }
    return 0;
}

WorkerThread::WorkerThread(RunRecord record, int runNumber)
    : record_(std::move(record)), thread_([this, runNumber] { Run(runNumber); }) {}

WorkerThread::~WorkerThread() {
    thread_.join();
}

void WorkerThread::Run(int runNumber) {
    TestRunWorker(record_, runNumber);
    {
        std::scoped_lock lock(mutex_);
        ended_ = true;
    }
    endedSignal_.notify_all();
}

bool WorkerThread::Ended() const {
    std::scoped_lock lock(mutex_);
    return ended_;
}

bool WorkerThread::WaitForEnd(std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return endedSignal_.wait_for(lock, timeout, [this] { return ended_; });
}

void WorkerThread::CutOff() {
    if (record_.window) {
        record_.window->Detach();
    }
}

}  // namespace orvalt
