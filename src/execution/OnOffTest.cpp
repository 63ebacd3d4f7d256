#include "execution/OnOffTest.h"

#include <string>

#include "domain/Format.h"
#include "execution/Primitives.h"
#include "execution/StopCheck.h"

namespace orvalt {

namespace {

// The verdict so far, carried from one repetition to the next.
struct Repetitions {
    double lower = 0.0;
    double upper = 0.0;
    bool pass = true;
    std::int32_t failed = 0;
    double lastVolts = 0.0;
    std::string readings;

    void Take(double volts) {
        lastVolts = volts;
        if (volts < lower || volts > upper) {
            pass = false;
            ++failed;
        }
        readings += Format("%s%.1f", readings.empty() ? "" : ",", volts);
    }
};

// Switches and shows the repetition with the verdict up to the previous reading.
bool SwitchAndAnnounce(const RunRecord& run, LJ_HANDLE handle, int row, std::int32_t state,
                       std::int32_t repetition, const Repetitions& so) {
    if (!SetPowerOutput(run, handle, row, state)) {
        return false;
    }
    PostProgress(run, ProgressStatus, row,
                 Format("Test %d, %s, last V = %.1f, %s", repetition, state ? "ON" : "OFF",
                        so.lastVolts, so.pass ? "PASS" : "FAIL"));
    return true;
}

bool RunRepetition(const RunRecord& run, LJ_HANDLE handle, int row, const TestPlanEntry& entry,
                   std::int32_t repetition, Repetitions& so) {
    if (!SwitchAndAnnounce(run, handle, row, 0, repetition, so) ||
        !WaitThenGoOn(run, row, entry.P2, "Off duration") ||
        !SwitchAndAnnounce(run, handle, row, 1, repetition, so) ||
        !WaitThenGoOn(run, row, entry.P3, "On duration")) {
        return false;
    }
    const auto volts = ReadVoltage(run, handle, row, repetition - 1);
    if (!volts) {
        return false;
    }
    so.Take(*volts);
    return true;
}

}  // namespace

bool RunOnOffTest(const RunRecord& run, LJ_HANDLE handle, int row, const TestPlanEntry& entry,
                  TestMeasurements& measured) {
    Repetitions so{entry.P4 / 1000.0, entry.P5 / 1000.0, true, 0, 0.0, {}};
    const std::int32_t count = entry.P6 / 1000;
    for (std::int32_t repetition = 1; repetition <= count; ++repetition) {
        const bool went = RunRepetition(run, handle, row, entry, repetition, so);
        measured.repetitionsFailed = so.failed;
        if (!went) {
            return false;
        }
    }
    PostProgress(run, ProgressLog, row, (so.pass ? "Pass, " : "Fail, ") + so.readings);
    return true;
}

}  // namespace orvalt
