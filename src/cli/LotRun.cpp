#include "cli/LotRun.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

#include "cli/ExitStatus.h"

namespace orvalt {

namespace {

constexpr std::size_t kLeastSerialDigits = 4;

// The unit statuses from the least grave to the gravest.
constexpr std::array<int, 4> kGravity{kExitRanToEnd, kExitLimitFailed, kExitAbandonedOrStopped,
                                      kExitDeviceNotOpened};

std::size_t GravityOf(int status) {
    const auto* found = std::find(kGravity.begin(), kGravity.end(), status);
    return found == kGravity.end() ? kGravity.size()
                                   : static_cast<std::size_t>(found - kGravity.begin());
}

}  // namespace

std::string LotSerial(std::string_view prefix, std::int64_t number, std::int64_t units) {
    const std::size_t width = std::max(kLeastSerialDigits, std::to_string(units).size());
    const std::string digits = std::to_string(number);
    std::string serial(prefix);
    serial.append(width > digits.size() ? width - digits.size() : 0, '0').append(digits);
    return serial;
}

void AwaitNextMillisecond() {
    using std::chrono::floor;
    using std::chrono::milliseconds;
    using std::chrono::system_clock;
    const auto now = floor<milliseconds>(system_clock::now());
    while (floor<milliseconds>(system_clock::now()) <= now) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

void LotTally::Add(int unitStatus, std::optional<VerdictKind> verdict) {
    ++units_;
    passed_ += verdict == VerdictKind::Pass ? 1 : 0;
    failed_ += verdict == VerdictKind::Fail ? 1 : 0;
    errors_ += verdict == VerdictKind::Error ? 1 : 0;
    if (GravityOf(unitStatus) > GravityOf(status_)) {
        status_ = unitStatus;
    }
}

std::string LotTally::Line(std::int64_t planned, bool judged, bool stopped) const {
    std::string line =
        "LOT: " + std::to_string(units_) + " of " + std::to_string(planned) + " units";
    if (judged) {
        line.append(", ").append(std::to_string(passed_)).append(" PASS, ");
        line.append(std::to_string(failed_)).append(" FAIL, ");
        line.append(std::to_string(errors_)).append(" ERROR");
    }
    return stopped ? line.append(", stopped") : line;
}

}  // namespace orvalt
