#pragma once
// Runs one plan entry through the test sequence on a scripted station's worker.

#include "config/TestPlan.h"
#include "domain/TestMeasurements.h"
#include "execution/TestSequence.h"
#include "support/ScriptedStation.h"

namespace orvalt::testing {

struct SequenceRun {
    bool result = false;
    TestMeasurements measured;
};

inline SequenceRun RunSequence(ScriptedStation& station, const TestPlanEntry& entry) {
    SequenceRun out;
    station.harness.RunOnWorker([&] {
        out.result =
            RunTestSequence(station.run, ScriptedDaq::kHandle, entry.index, entry, out.measured);
    });
    return out;
}

}  // namespace orvalt::testing
