#include "execution/TimeToOn.h"

#include <optional>
#include <string>

#include "domain/Format.h"
#include "domain/TestMeasurements.h"
#include "execution/Primitives.h"
#include "execution/SamplingWindow.h"

namespace orvalt {

namespace {

constexpr std::int32_t kPeriodMs = 100;
constexpr std::int64_t kSamplesPerSecond = 1000 / kPeriodMs;

// Follows the readings until the first one at or above the threshold; the list
// ends with that reading, later ones only keep the window's rhythm.
struct OnWatch {
    ThresholdWatch watch;
    std::string readings;

    void Take(const Sample& sample) {
        if (watch.crossedTick) {
            return;
        }
        AppendListed(readings, sample.volts);
        watch.Take(sample);
    }
};

}  // namespace

bool MeasureTimeToOn(const RunRecord& run, LJ_HANDLE handle, int seconds, double& timeToOn,
                     std::optional<std::uint32_t>* switchTick) {
    OnWatch watch{{run.io.settings->voltageOn, ThresholdWatch::Rising, std::nullopt}, {}};
    const auto start = SwitchAndSample(run, handle, 1, kSamplesPerSecond * seconds, kPeriodMs,
                                       [&watch](const Sample& sample) { watch.Take(sample); });
    if (!start) {
        return false;
    }
    PostProgress(run, ProgressLog, kMeasureRow,
                 watch.readings.empty() ? std::string() : "TTOn: " + watch.readings);
    timeToOn = watch.watch.SecondsFrom(*start);
    if (switchTick) {
        *switchTick = start;
    }
    PostProgress(run, ProgressLog, kMeasureRow, Format("Time To ON seconds, %.2f", timeToOn));
    ClearWaitCell(run, kMeasureRow);
    return true;
}

}  // namespace orvalt
