#include "execution/RunStatus.h"

#include "domain/Format.h"

namespace orvalt {

namespace {

constexpr const char* kGap = "   ";

std::string Elapsed(std::uint32_t fromTick, std::uint32_t toTick) {
    const std::uint32_t seconds = static_cast<std::uint32_t>(toTick - fromTick) / 1000;
    return Format("Elapsed %u:%02u:%02u", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

// Whole seconds left, rounded up, so that a wait shows its full length at its
// start and "1 s" until its very end; nothing once it has run out.
std::optional<std::int64_t> SecondsLeft(const ShownWaitTimes& wait, std::uint32_t nowTick) {
    const std::int64_t left =
        std::int64_t{wait.ms} - static_cast<std::uint32_t>(nowTick - wait.startTick);
    if (left <= 0) {
        return std::nullopt;
    }
    return (left + 999) / 1000;
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

std::string RunStatus::Text(std::uint32_t nowTick) const {
    if (!progress_) {
        return powerNote_;
    }
    return end_ ? EndedText() : RunningText(nowTick);
}

std::string RunStatus::RunningText(std::uint32_t nowTick) const {
    const RunProgressSnapshot now = progress_->Read();
    std::string text = Format("Test %d of %d", now.test < 0 ? 1 : now.test + 1, tests_);
    if (now.wait) {
        if (const auto left = SecondsLeft(*now.wait, nowTick)) {
            text += kGap + Format("Wait %lld s left", static_cast<long long>(*left));
        }
    }
    return text + kGap + Elapsed(startTick_, nowTick);
}

std::string RunStatus::EndedText() const {
    std::string text = std::string(EndName(*end_)) + kGap + Elapsed(startTick_, endTick_);
    return powerNote_.empty() ? text : text + kGap + powerNote_;
}

}  // namespace orvalt
