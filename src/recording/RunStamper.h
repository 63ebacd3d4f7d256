#pragma once
// The writer's side of the run in progress: turns the events handed over, in
// the order they were handed over, into the record events they make. It
// keeps what the hand-overs no longer keep themselves: the run and the test
// in progress, the run's tally, the trace's sequence numbers.
// An event that belongs to no run (a reading before the first run began) makes
// none.

#include <optional>

#include "recording/HandedOver.h"
#include "recording/StampedEvents.h"

namespace orvalt {

class RunStamper {
  public:
    void Take(Handed&& handed, StampedEvents& out);

  private:
    void Milestone(MilestoneHanded&& milestone, StampedEvents& out);
    void BeginRun(RunBeginHanded&& begin, StampedEvents& out);
    void BeginTest(TestRecordStart&& test, StampedEvents& out);
    void EndTest(TestFinish&& finish, StampedEvents& out);
    void EndRun(RunFinish&& finish, StampedEvents& out);
    TraceStamp NextStamp();

    std::optional<RunStart> run_;
    RunTally tally_;
    std::optional<TestRecordStart> test_;
    std::int64_t nextSeq_ = 0;
};

}  // namespace orvalt
