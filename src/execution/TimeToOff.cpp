#include "execution/TimeToOff.h"

#include <optional>
#include <string>

#include "domain/Format.h"
#include "domain/TestMeasurements.h"
#include "execution/Primitives.h"
#include "execution/SamplingWindow.h"

namespace orvalt {

namespace {

constexpr std::int32_t kPeriodMs = 250;
constexpr std::int64_t kSamplesPerSecond = 1000 / kPeriodMs;

void ReportTime(const RunRecord& run, double threshold, int level, double seconds) {
    PostProgress(
        run, ProgressLog, kMeasureRow,
        Format("Time To OFF (to %.2f) seconds from level %d, %.2f", threshold, level, seconds));
}

// How many records, from the newest backwards, name the same level as the newest.
std::int32_t CountPriorSameLevel(const DiagTable::Snapshot& table) {
    const std::int32_t newestLevel = table.records[table.count - 1].field3;
    std::int32_t count = 0;
    for (int i = table.count - 1; i >= 0 && table.records[i].field3 == newestLevel; --i) {
        ++count;
    }
    return count;
}

// Judges the newest diagnostic record against the level the power was cut at.
// With no record the unit switched off before the driver reported anything:
// false, and the figures are zeros that nobody measured.
bool JudgeSavedLevel(const RunRecord& run, int level, std::int32_t& delay, std::int32_t& diagValue,
                     std::int32_t& saveNotAsExpected, std::int32_t& priorCount) {
    // One read under the table's lock, so the count and the records belong together.
    const DiagTable::Snapshot table = run.io.diagTable->Read();
    if (table.count < 1) {
        delay = 0;
        saveNotAsExpected = 0;
        priorCount = 0;
        PostProgress(run, ProgressLog, kMeasureRow, "Too fast. No dignostic data. Delay = 0");
        return false;
    }
    const DiagRecord& newest = table.records[table.count - 1];
    delay = newest.field1;
    diagValue = newest.field2;
    saveNotAsExpected = newest.field3 != level - 1 ? 1 : 0;
    priorCount = CountPriorSameLevel(table);
    PostProgress(run, ProgressLog, kMeasureRow,
                 Format("Delay = %d, Save as expected = %s, prior count = %d", delay,
                        saveNotAsExpected ? "NO" : "YES", priorCount));
    return true;
}

}  // namespace

bool MeasureTimeToOff(const RunRecord& run, LJ_HANDLE handle, int level, double& timeToA,
                      double& timeToB, std::int32_t& delay, std::int32_t& diagValue,
                      std::int32_t& saveNotAsExpected, std::int32_t& priorCount,
                      std::optional<std::uint32_t>* switchTick, bool* diagReceived) {
    const SettingsRecord& settings = *run.io.settings;
    ThresholdWatch toA{settings.voltageOffA, ThresholdWatch::Falling, std::nullopt};
    ThresholdWatch toB{settings.voltageOffB, ThresholdWatch::Falling, std::nullopt};
    std::string readings;
    const auto start =
        SwitchAndSample(run, handle, 0, kSamplesPerSecond * settings.timeToOffSeconds, kPeriodMs,
                        [&](const Sample& sample) {
                            toA.Take(sample);
                            toB.Take(sample);
                            AppendListed(readings, sample.volts);
                        });
    if (!start) {
        return false;
    }
    PostProgress(run, ProgressLog, kMeasureRow, readings);
    timeToA = toA.SecondsFrom(*start);
    timeToB = toB.SecondsFrom(*start);
    if (switchTick) {
        *switchTick = start;
    }
    ReportTime(run, settings.voltageOffA, level, timeToA);
    ReportTime(run, settings.voltageOffB, level, timeToB);

    const bool received =
        JudgeSavedLevel(run, level, delay, diagValue, saveNotAsExpected, priorCount);
    if (diagReceived) {
        *diagReceived = received;
    }
    ClearWaitCell(run, kMeasureRow);
    return true;
}

}  // namespace orvalt
