#pragma once
// What Start hands to the test worker, and the process-wide run values.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "config/SettingsRecord.h"
#include "config/TestPlan.h"
#include "diaglink/DiagTable.h"
#include "execution/RunProgress.h"
#include "platform/Clock.h"
#include "platform/Daq.h"
#include "platform/Messages.h"
#include "results/SummaryLines.h"

namespace orvalt {

// Progress kinds of WM_TEST_PROGRESS.
enum ProgressKind : int {
    ProgressWait = 0,    // the row's "Wait" cell
    ProgressStatus = 1,  // the row's "Status" cell
    ProgressLog = 2,     // a new log line
    ProgressDone = 3,    // the run is over
};

// Set by Start on the window thread. runFlag is the only value the worker reads
// while the window writes it.
struct RunState {
    std::atomic<std::int32_t> runFlag{0};
    std::atomic<std::int32_t> extraLog{0};
    WindowHandle progressWindow;
};

// The unit description as the operator typed it.
struct UnitDescription {
    std::string manufacturer;
    std::string model;
    std::string type;
    std::string power;
    std::string fixtureSize;
    std::string driverManufacturer;
    std::string driverModel;
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
};

struct RunRecord {
    std::atomic<std::int32_t>* runFlag = nullptr;
    WindowHandle window;
    std::int32_t extraLog = 0;
    std::int32_t doOutput5 = 0;
    UnitDescription description;
    std::int32_t ttoCycle = 1;
    std::int32_t ttoLevel = 1;
    LJ_HANDLE deviceHandle = 0;
    const TestPlan* testPlan = nullptr;
    StationIo io;
    // Where the run stands, for the status strip; null when nobody looks.
    std::shared_ptr<RunProgress> progress;
};

inline bool RunGoesOn(const RunRecord& run) {
    return run.runFlag->load() != 0;
}

// Posts one progress message through the run's window handle. The result of the
// post is not looked at: a lost progress message never holds up the worker.
inline void PostProgress(const RunRecord& run, ProgressKind kind, int row, std::string text) {
    if (run.window) {
        run.window->Post(PostedMessage{WM_TEST_PROGRESS, kind, row, std::move(text)});
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
