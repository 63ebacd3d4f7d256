#pragma once
// Everything a run works with, wired to a scripted device, virtual time and a
// collecting window: what a test of the worker's steps needs to call them.

#include <atomic>
#include <cstdint>

#include "config/SettingsRecord.h"
#include "diaglink/DiagTable.h"
#include "execution/RunRecord.h"
#include "results/SummaryLines.h"
#include "support/ScriptedDaq.h"
#include "support/WorkerHarness.h"

namespace orvalt::testing {

struct ScriptedStation {
    explicit ScriptedStation(std::uint32_t startTick = 0) : harness(startTick) {
        run.runFlag = &runFlag;
        run.window = harness.Window();
        run.deviceHandle = ScriptedDaq::kHandle;
        run.io = StationIo{&daq, &harness.Clock(), &settings, &diagTable, &summaryLines, &marker};
    }

    // Asks the run to stop, as the Stop button does.
    void PressStop() { runFlag = 0; }

    WorkerHarness harness;
    ScriptedDaq daq{harness.Clock()};
    SettingsRecord settings;
    DiagTable diagTable;
    SummaryLines summaryLines;
    std::int32_t marker = 1;
    std::atomic<std::int32_t> runFlag{1};
    RunRecord run;
};

}  // namespace orvalt::testing
