#pragma once
// What the line at a glance is made of: the fixtures' cards and the moment
// the line is read for (the failure reasons are reading/FailureReasons.h's,
// the drift alarms that still hold OpenAlarms'). Each part is read by a file
// of its own; LineView puts them together.

#include <chrono>
#include <cstdint>
#include <string>

namespace orvalt {

// Testing: the fixture's newest run has not ended and was heard of within
// LineMoment::notSeenAfter. NotSeen: it has not ended and was not heard of
// for longer (a station that died, hung or lost its database mid-run). Idle:
// it ended, however long ago: a station writes nothing while it waits for the
// next unit, so silence after an end is no sign of trouble, and a break would
// otherwise turn the whole line "not seen".
enum class FixtureState { Testing, Idle, NotSeen };

// One station (host) and fixture ("" for a station without fixtures).
struct FixtureCard {
    std::string host, fixture;
    FixtureState state = FixtureState::Idle;
    // The newest moment anything of the fixture's newest run reached the
    // records: its start, a test's start or end, its end, or while it runs
    // the newest power switch of its trace (the test's start plus the
    // switch's time in the test, so a long test is still heard of between its
    // start and its end). UTC, ISO 8601.
    std::string lastSeenAt;
    // The fixture's newest run (by start): the one in progress when the
    // state is Testing or NotSeen, else the one that ended.
    std::string runUuid, serial, model, startedAt;
    std::int64_t testsBegun = 0;
    std::int64_t testsInPlan = 0;  // rows of the run's plan; 0 when its plan does not read
    // The fixture's run that ended last among those started since
    // LineMoment::stationsSince: its serial, when and how it ended and its
    // unit verdict ("PASS", "FAIL", "ERROR"; empty: not judged); empty
    // strings when none of them ended.
    std::string lastSerial, lastEndedAt, lastEndedHow, lastVerdict;
};

struct LineMoment {
    std::string now;         // UTC, ISO 8601 with milliseconds
    std::string todayStart;  // the local day's midnight in UTC, ISO 8601
    // A fixture whose newest run has not been heard of for this long is not
    // seen; fixtures that recorded nothing since `stationsSince` are left out.
    std::chrono::minutes notSeenAfter{10};
    std::string stationsSince;  // UTC, ISO 8601
    std::string alarmsSince;    // UTC, ISO 8601
};

}  // namespace orvalt
