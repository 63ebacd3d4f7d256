#pragma once
// The lighting driver under test, as a model in time: power edges in, light
// level and diagnostic lines out. Times are milliseconds on one monotonic axis
// given by the caller. Safe to use from the worker (power, voltage) and from the
// thread that carries its diagnostic lines at once.

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "sim/UnitProfile.h"

namespace orvalt {

class SimulatedUnit {
  public:
    using DiagSink = std::function<void(const std::string& line)>;

    explicit SimulatedUnit(UnitProfile profile);

    void SetPower(bool on, std::uint64_t nowMs);
    double Voltage(std::uint64_t nowMs) const;
    bool Powered() const;
    bool Cycling() const;
    // 0-based level the unit shows at `nowMs` (0 before level 1 starts).
    int LevelIndex(std::uint64_t nowMs) const;

    // Diagnostic lines (three hex fields, no line end). The unit produces them at
    // its period while powered and once at power loss; the carrier asks when the
    // next is due and collects the due ones.
    std::optional<std::uint64_t> NextDiagDue() const;
    void EmitDueDiagLines(std::uint64_t nowMs, const DiagSink& sink);

    const UnitProfile& Profile() const { return profile_; }
    // Another unit of this profile takes this one's place in the fixture:
    // unpowered, with none of the last one's power history or pending lines.
    // Only between runs: the device reads the profile without the lock.
    void Replace(UnitProfile profile);

  private:
    struct Segment {
        bool on;
        std::uint64_t startMs;
    };
    double VoltageLocked(std::uint64_t nowMs) const;
    double PoweredVoltage(std::uint64_t nowMs) const;
    double DecayedVoltage(std::uint64_t nowMs) const;
    int LevelIndexLocked(std::uint64_t nowMs) const;
    bool SetupPatternSeen(std::uint64_t nowMs) const;
    std::string DiagLine(int level) const;

    UnitProfile profile_;
    mutable std::mutex mutex_;
    bool powered_ = false;
    bool cycling_ = false;
    std::uint64_t edgeMs_ = 0;     // moment of the latest power edge
    double voltageAtEdge_ = 0.0;   // light level at that edge
    std::deque<Segment> history_;  // latest power segments, oldest first
    std::optional<std::uint64_t> nextPeriodicMs_;
    std::optional<std::uint64_t> lossLineMs_;
    int lossLevel_ = 0;
};

}  // namespace orvalt
