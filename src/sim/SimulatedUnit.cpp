#include "sim/SimulatedUnit.h"

#include <cmath>
#include <cstdlib>
#include <vector>

#include "domain/Format.h"

namespace orvalt {

namespace {
// A diagnostic line at power loss leaves the driver a moment after the cut: the
// time its bytes take on the wire at 115200 baud, rounded up.
constexpr std::uint64_t kLossLineDelayMs = 2;
constexpr std::size_t kHistoryKept = 8;
}  // namespace

SimulatedUnit::SimulatedUnit(UnitProfile profile) : profile_(std::move(profile)) {}

void SimulatedUnit::Replace(UnitProfile profile) {
    std::scoped_lock lock(mutex_);
    profile_ = std::move(profile);
    powered_ = false;
    cycling_ = false;
    edgeMs_ = 0;
    voltageAtEdge_ = 0.0;
    history_.clear();
    nextPeriodicMs_.reset();
    lossLineMs_.reset();
    lossLevel_ = 0;
}

bool SimulatedUnit::Powered() const {
    std::scoped_lock lock(mutex_);
    return powered_;
}

bool SimulatedUnit::Cycling() const {
    std::scoped_lock lock(mutex_);
    return cycling_;
}

double SimulatedUnit::Voltage(std::uint64_t nowMs) const {
    std::scoped_lock lock(mutex_);
    return VoltageLocked(nowMs);
}

int SimulatedUnit::LevelIndex(std::uint64_t nowMs) const {
    std::scoped_lock lock(mutex_);
    return LevelIndexLocked(nowMs);
}

double SimulatedUnit::DecayedVoltage(std::uint64_t nowMs) const {
    const double elapsed = static_cast<double>(nowMs - edgeMs_);
    const double tau = std::max(1, profile_.offTauMs);
    return voltageAtEdge_ * std::exp(-elapsed / tau);
}

double SimulatedUnit::PoweredVoltage(std::uint64_t nowMs) const {
    const std::uint64_t levelStart =
        edgeMs_ + static_cast<std::uint64_t>(std::max(0, profile_.startMs));
    if (nowMs < levelStart) {
        return DecayedVoltage(nowMs);
    }
    const double target = profile_.levels[static_cast<std::size_t>(LevelIndexLocked(nowMs))];
    const double sinceStart = static_cast<double>(nowMs - levelStart);
    if (sinceStart >= profile_.onRampMs) {
        return target;
    }
    const double from = DecayedVoltage(levelStart);
    return from + (profile_.levels[0] - from) * sinceStart / profile_.onRampMs;
}

double SimulatedUnit::VoltageLocked(std::uint64_t nowMs) const {
    return powered_ ? PoweredVoltage(nowMs) : DecayedVoltage(nowMs);
}

int SimulatedUnit::LevelIndexLocked(std::uint64_t nowMs) const {
    const std::uint64_t levelStart =
        edgeMs_ + static_cast<std::uint64_t>(std::max(0, profile_.startMs));
    if (!powered_ || !cycling_ || nowMs < levelStart) {
        return 0;
    }
    const std::uint64_t levelMs = static_cast<std::uint64_t>(std::max(1, profile_.levelMs));
    return static_cast<int>(((nowMs - levelStart) / levelMs) % 4);
}

bool SimulatedUnit::SetupPatternSeen(std::uint64_t nowMs) const {
    if (!profile_.setupPattern) {
        return true;
    }
    if (history_.size() < 4) {
        return false;
    }
    const std::size_t first = history_.size() - 4;
    for (std::size_t i = 0; i < 4; ++i) {
        const Segment& segment = history_[first + i];
        const std::uint64_t end = i + 1 < 4 ? history_[first + i + 1].startMs : nowMs;
        const auto length = static_cast<std::int64_t>(end - segment.startMs);
        const bool wantOn = i % 2 == 0;
        if (segment.on != wantOn ||
            std::llabs(length - (*profile_.setupPattern)[i]) > profile_.setupToleranceMs) {
            return false;
        }
    }
    return true;
}

void SimulatedUnit::SetPower(bool on, std::uint64_t nowMs) {
    std::scoped_lock lock(mutex_);
    if (on == powered_) {
        return;
    }
    if (on) {
        cycling_ = profile_.cycling && SetupPatternSeen(nowMs);
    } else {
        lossLevel_ = LevelIndexLocked(nowMs) + profile_.diagSaveLevelOffset;
        lossLineMs_ = nowMs + kLossLineDelayMs;
    }
    voltageAtEdge_ = VoltageLocked(nowMs);
    edgeMs_ = nowMs;
    powered_ = on;
    history_.push_back(Segment{on, nowMs});
    if (history_.size() > kHistoryKept) {
        history_.pop_front();
    }
    nextPeriodicMs_.reset();
    if (on && profile_.diagPeriodMs > 0) {
        nextPeriodicMs_ = nowMs + static_cast<std::uint64_t>(profile_.diagPeriodMs);
    }
}

std::optional<std::uint64_t> SimulatedUnit::NextDiagDue() const {
    std::scoped_lock lock(mutex_);
    if (profile_.diagSilent) {
        return std::nullopt;
    }
    if (lossLineMs_ && nextPeriodicMs_) {
        return std::min(*lossLineMs_, *nextPeriodicMs_);
    }
    return lossLineMs_ ? lossLineMs_ : nextPeriodicMs_;
}

std::string SimulatedUnit::DiagLine(int level) const {
    return Format("%x %x %x", static_cast<unsigned>(profile_.diagDelay),
                  static_cast<unsigned>(profile_.diagValue), static_cast<unsigned>(level));
}

void SimulatedUnit::EmitDueDiagLines(std::uint64_t nowMs, const DiagSink& sink) {
    std::vector<std::string> lines;
    {
        std::scoped_lock lock(mutex_);
        if (profile_.diagSilent) {
            return;
        }
        if (lossLineMs_ && *lossLineMs_ <= nowMs) {
            lines.push_back(DiagLine(lossLevel_));
            lossLineMs_.reset();
        }
        while (nextPeriodicMs_ && *nextPeriodicMs_ <= nowMs) {
            lines.push_back(DiagLine(LevelIndexLocked(*nextPeriodicMs_)));
            *nextPeriodicMs_ += static_cast<std::uint64_t>(profile_.diagPeriodMs);
        }
    }
    for (const auto& line : lines) {
        sink(line);
    }
}

}  // namespace orvalt
