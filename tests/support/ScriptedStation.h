#pragma once
// Everything a run works with, wired to a scripted device, virtual time and a
// collecting window: what a test of the worker's steps needs to call them.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "config/SettingsRecord.h"
#include "diaglink/DiagTable.h"
#include "execution/RunRecord.h"
#include "results/SummaryLines.h"
#include "support/ScriptedDaq.h"
#include "support/WorkerHarness.h"

namespace orvalt::testing {

struct ScriptedStation {
    explicit ScriptedStation(std::uint32_t startTick = 0) : harness(startTick) {
        runFlag.Raise();
        run.runFlag = &runFlag;
        run.window = harness.Window();
        run.deviceHandle = ScriptedDaq::kHandle;
        run.io = StationIo{&daq, &harness.Clock(), &settings, &diagTable, &summaryLines, &marker};
    }

    // Asks the run to stop, as the Stop button does.
    void PressStop() { runFlag.Lower(); }

    // Presses Stop as soon as the window receives a message with this text.
    void PressStopOn(std::string text) {
        harness.SetOnMessage([this, text = std::move(text)](const PostedMessage& m) {
            const auto* progress = std::get_if<ProgressMessage>(&m);
            if (progress && progress->text == text) {
                PressStop();
            }
        });
    }

    // Makes a step meet one of the ways it is abandoned: "switch" (the
    // `powerWrite`-th switch fails), "read" (the reading after those scripted so
    // far fails) or "stop" (Stop is pressed when `stopOn` is posted).
    void Abandon(const std::string& how, std::size_t powerWrite, std::string stopOn) {
        if (how == "switch") {
            daq.FailPowerWrite(powerWrite, LJE_COMM_FAILURE);
        } else if (how == "read") {
            daq.AddError(LJE_COMM_FAILURE);
        } else {
            PressStopOn(std::move(stopOn));
        }
    }

    WorkerHarness harness;
    ScriptedDaq daq{harness.Clock()};
    SettingsRecord settings;
    DiagTable diagTable;
    SummaryLines summaryLines;
    std::int32_t marker = 1;
    RunFlag runFlag;
    RunRecord run;
};

}  // namespace orvalt::testing
