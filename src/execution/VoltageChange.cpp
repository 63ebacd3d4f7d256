#include "execution/VoltageChange.h"

#include <cmath>
#include <string>

#include "execution/Primitives.h"
#include "execution/StopCheck.h"
#include "domain/Format.h"

namespace orvalt {

namespace {

constexpr int kFirstIndex = 3;
constexpr int kEndIndex = 24;
constexpr std::int32_t kPeriodMs = 250;

// The label of the wait after a reading. With Extra Log it carries the whole
// comparison and is logged as well, so the log shows why the detection went on.
std::string DescribeReading(const RunRecord& run, int row, int nextIndex, double volts,
                            double reference) {
    if (!run.extraLog) {
        return Format("voltage change #%d", nextIndex);
    }
    std::string text = Format("voltage=%.2f ref=%.2f delta=%.2f needed=%.2f", volts, reference,
                              reference - volts, run.io.settings->voltageDeltaForOff);
    PostProgress(run, ProgressLog, row, text);
    return text;
}

}  // namespace

bool ReadUntilVoltageChanges(const RunRecord& run, LJ_HANDLE handle, int row, double reference) {
    if (run.extraLog) {
        PostProgress(run, ProgressLog, row, "[Starting read until voltage changes]");
    }
    for (int index = kFirstIndex; index < kEndIndex;) {
        const auto volts = ReadVoltage(run, handle, row, index);
        if (!volts) {
            return false;
        }
        ++index;
        const std::string label = DescribeReading(run, row, index, *volts, reference);
        if (std::fabs(reference - *volts) >= run.io.settings->voltageDeltaForOff) {
            return true;
        }
        if (!WaitThenGoOn(run, row, kPeriodMs, label)) {
            return false;
        }
    }
    return true;
}

}  // namespace orvalt
