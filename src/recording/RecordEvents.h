#pragma once
// What the recorder queues for its writer: one value per thing that happened,
// already stamped with its run and, for the trace, its sequence number in the
// run, so that writing it twice stores it once.

#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "records/RecordValues.h"

namespace orvalt {

struct RunBegan {
    RunStart run;
};

// Carries the whole start again, so that a run whose start went to one place
// and whose end goes to another (a server back between the two) is whole in both.
struct RunEnded {
    RunStart run;
    RunFinish finish;
    RunTally tally;
};

// The run's tally after a test began or ended.
struct RunTallied {
    RunStart run;
    RunTally tally;
};

struct TestBegan {
    std::string runUuid;
    TestRecordStart test;
};

struct TestEnded {
    std::string runUuid;
    TestRecordStart test;
    TestFinish finish;
};

struct TraceStamp {
    std::string runUuid;
    std::int64_t seq = 0;
    std::optional<int> testIndex;  // empty between tests
};

struct ReadingTaken {
    TraceStamp stamp;
    Reading reading;
};

struct LineSwitched {
    TraceStamp stamp;
    LineSwitch change;
};

struct DiagLineSeen {
    TraceStamp stamp;
    DiagLineRecord line;
};

struct AlarmRaised {
    std::string runUuid;
    AlarmRecord alarm;
};

using RecordEvent = std::variant<RunBegan, RunEnded, RunTallied, TestBegan, TestEnded, ReadingTaken,
                                 LineSwitched, DiagLineSeen, AlarmRaised>;

// True for the events whose rows must reach the database at once.
bool IsMilestone(const RecordEvent& event);

}  // namespace orvalt
