#pragma once
// What Start hands to the test worker, and the process-wide run values.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "config/SettingsRecord.h"
#include "config/TestPlan.h"
#include "diaglink/DiagTable.h"
#include "domain/Daq.h"
#include "domain/Messages.h"
#include "domain/SessionObservers.h"
#include "domain/UnitDescription.h"
#include "execution/RunEvents.h"
#include "execution/RunProgress.h"
#include "platform/Clock.h"
#include "platform/RunFlag.h"
#include "results/SummaryLines.h"

namespace orvalt {

// Set by Start on the window thread. runFlag is the only value the worker reads
// while the window writes it; lowering it wakes the worker's wait at once.
// extraLog is read by the window thread alone.
struct RunState {
    RunFlag runFlag;
    std::atomic<std::int32_t> extraLog{0};
};

// The parts of the station a run works with. They outlive every run.
struct StationIo {
    Daq* daq = nullptr;
    Clock* clock = nullptr;
    const SettingsRecord* settings = nullptr;
    DiagTable* diagTable = nullptr;
    SummaryLines* summaryLines = nullptr;
    // Level the marker line 5 gets at its next write; 1 when the station starts.
    std::int32_t* markerLevel = nullptr;
    // Who is told of each run's events, and the origin their times are
    // stamped from; none for a bare worker.
    SessionObservers* observers = nullptr;
    TestOrigin* origin = nullptr;
    // What a test came to, built once before its end is told; without it the
    // observers hear the end with an empty outcome.
    OutcomeBuilder outcomeOf{};
};

struct RunRecord {
    RunFlag* runFlag = nullptr;
    WindowHandle window;
    std::int32_t extraLog = 0;
    std::int32_t doOutput5 = 0;
    UnitDescription description;
    std::int32_t ttoCycle = 1;
    std::int32_t ttoLevel = 1;
    LJ_HANDLE deviceHandle = 0;
    const TestPlan* testPlan = nullptr;
    StationIo io;
    // The run's events for the observers; null when nobody observes.
    std::shared_ptr<RunEvents> events;
    // Where the run stands, for the status strip; null when nobody looks.
    std::shared_ptr<RunProgress> progress;
    // What the worker last set line 4 to; nothing before its first write and
    // after a failed one. The worker's own, changed through its const view.
    mutable std::optional<std::int32_t> powerState;
};

inline bool RunGoesOn(const RunRecord& run) {
    return run.runFlag->Up();
}

// Posts one progress message through the run's window handle. The result of the
// post is not looked at: a lost progress message never holds up the worker.
inline void PostProgress(const RunRecord& run, ProgressKind kind, int row, std::string text) {
    if (run.window) {
        run.window->Post(ProgressMessage{kind, row, std::move(text)});
    }
}

// Option index 0..15 -> cycle i / 4 + 1, level i % 4 + 1; other indexes leave
// both unchanged.
inline void DecodeTtoOption(std::int32_t index, std::int32_t& cycle, std::int32_t& level) {
    if (index >= 0 && index <= 15) {
        cycle = index / 4 + 1;
        level = index % 4 + 1;
    }
}

}  // namespace orvalt
