#pragma once
// What a hand-over queues: the call's arguments as they came, and nothing of
// the run's state. The writer turns them into record events (RunStamper) in
// the order they were handed over, so that a hand-over neither reads nor
// changes anything another thread keeps. The trace (readings, switches,
// diagnostic lines) is nearly every event and small; the run and test
// milestones carry a whole run's start and are rare, so they are boxed, and a
// chunk of queued events stays small.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <variant>

#include "records/RecordValues.h"

namespace orvalt {

struct SwitchHanded {
    std::int64_t ms = 0;  // since the test's first power switch
    int line = 0;
    bool on = false;
};

struct ReadingHanded {
    std::int64_t ms = 0;  // since the test's first power switch
    double volts = 0.0;
    std::string status;
};

struct DiagHanded {
    std::int64_t ms = 0;  // since the test's first power switch
    std::string raw;
    std::array<std::int64_t, 3> fields{};
};

// `abandonAt` is the hand-over's time, for a run still open that this one ends.
struct RunBeginHanded {
    RunStart run;
    std::string abandonAt;
};

struct TestBeginHanded {
    TestRecordStart test;
};

struct TestEndHanded {
    TestFinish finish;
};

struct RunEndHanded {
    RunFinish finish;
};

// Raised once a run is over, by whoever checked it: it names its run itself.
struct AlarmHanded {
    std::string runUuid;
    AlarmRecord alarm;
};

using MilestoneHanded =
    std::variant<RunBeginHanded, TestBeginHanded, TestEndHanded, RunEndHanded, AlarmHanded>;

using Handed = std::variant<std::monostate, SwitchHanded, ReadingHanded, DiagHanded,
                            std::unique_ptr<MilestoneHanded>>;

}  // namespace orvalt
