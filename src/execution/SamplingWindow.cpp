#include "execution/SamplingWindow.h"

#include "execution/Primitives.h"
#include "execution/StopCheck.h"
#include "domain/Format.h"

namespace orvalt {

std::optional<std::uint32_t> SwitchAndSample(const RunRecord& run, LJ_HANDLE handle,
                                             std::int32_t state, std::int64_t count,
                                             std::int32_t periodMs,
                                             const std::function<void(const Sample&)>& onSample) {
    if (!SetPowerOutput(run, handle, kMeasureRow, state)) {
        return std::nullopt;
    }
    const std::uint32_t start = run.io.clock->NowMs();
    for (std::int64_t i = 0; i < count; ++i) {
        const auto volts = ReadVoltage(run, handle, kMeasureRow, static_cast<int>(i));
        if (!volts) {
            return std::nullopt;
        }
        onSample(Sample{*volts, run.io.clock->NowMs()});
        if (!WaitThenGoOn(run, kMeasureRow, periodMs, "")) {
            return std::nullopt;
        }
    }
    return start;
}

void AppendListed(std::string& list, double volts) {
    list += Format("%s%.2f", list.empty() ? "" : ",", volts);
}

}  // namespace orvalt
