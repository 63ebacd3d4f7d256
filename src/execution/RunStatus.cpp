#include "execution/RunStatus.h"

#include "domain/Format.h"

namespace orvalt {

namespace {

constexpr const char* kGap = "   ";

// Shorter waits are polling: on the strip they would only flicker.
constexpr std::int32_t kStripWaitMinMs = 1000;

std::string Elapsed(std::uint32_t ms) {
    const std::uint32_t seconds = ms / 1000;
    return Format("Elapsed %u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

std::optional<WaitNow> WaitAt(const std::optional<AnnouncedWait>& wait, std::uint32_t nowTick) {
    if (!wait) {
        return std::nullopt;
    }
    const std::int64_t left =
        std::int64_t{wait->ms} - static_cast<std::uint32_t>(nowTick - wait->startTick);
    const auto leftMs = static_cast<std::int32_t>(left > 0 ? left : 0);
    return WaitNow{wait->text, wait->ms, leftMs, !wait->over && leftMs > 0};
}

const char* EndName(RunEnd end) {
    switch (end) {
        case RunEnd::Completed:
            return "Run complete";
        case RunEnd::Stopped:
            return "Run stopped";
        case RunEnd::Abandoned:
            return "Run abandoned";
    }
    return "";
}

// Whole seconds left, rounded up, so that a wait shows its full length at its
// start and "1 s" until its very end.
std::string StripWait(const std::optional<WaitNow>& wait) {
    if (!wait || !wait->going || wait->ms < kStripWaitMinMs) {
        return {};
    }
    return std::string(kGap).append(Format("Wait %d s left", (wait->leftMs + 999) / 1000));
}

}  // namespace

void RunStatus::Started(std::int32_t tests, std::uint32_t startTick,
                        std::shared_ptr<const RunProgress> progress) {
    tests_ = tests;
    startTick_ = startTick;
    progress_ = std::move(progress);
    end_.reset();
    powerNote_.clear();
}

void RunStatus::Ended(RunEnd end, std::uint32_t endTick) {
    if (end_ || !progress_) {
        return;
    }
    end_ = end;
    endTick_ = endTick;
}

RunStatusNow RunStatus::Now(std::uint32_t nowTick) const {
    RunStatusNow now;
    now.unitPower = powerNote_;
    if (!progress_) {
        return now;
    }
    const RunProgressSnapshot progress = progress_->Read();
    now.begun = true;
    now.tests = tests_;
    now.test = progress.test;
    now.reading = progress.reading;
    now.end = end_;
    now.elapsedMs = static_cast<std::uint32_t>((end_ ? endTick_ : nowTick) - startTick_);
    if (!end_) {
        now.wait = WaitAt(progress.wait, nowTick);
    }
    return now;
}

std::string StripText(const RunStatusNow& status) {
    if (!status.begun) {
        return status.unitPower;
    }
    if (status.end) {
        std::string text =
            std::string(EndName(*status.end)).append(kGap).append(Elapsed(status.elapsedMs));
        return status.unitPower.empty() ? text : text.append(kGap).append(status.unitPower);
    }
    const int test = status.test < 0 ? 1 : status.test + 1;
    return Format("Test %d of %d", test, status.tests)
        .append(StripWait(status.wait))
        .append(kGap)
        .append(Elapsed(status.elapsedMs));
}

std::string ReadingText(const LightReading& reading) {
    return Format("Reading voltage = %.2f #%d", reading.volts, reading.index + 1);
}

}  // namespace orvalt
