#pragma once
// A data-acquisition device that plays a script: each analog reading is the next
// scripted voltage or driver error, and every digital write is recorded with the
// tick count it happened at, so a test can check what the unit's power did when.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <mutex>
#include <vector>

#include "domain/UdDriver.h"
#include "platform/Clock.h"

namespace orvalt::testing {

struct ScriptedReading {
    double volts = 0.0;
    LJ_ERROR error = LJE_NOERROR;
};

struct OutputWrite {
    std::int32_t channel = 0;
    std::int32_t state = 0;
    std::uint32_t tick = 0;
    LJ_ERROR result = LJE_NOERROR;
};

class ScriptedDaq final : public UdDriverDaq {
  public:
    static constexpr LJ_HANDLE kHandle = 7;

    explicit ScriptedDaq(Clock& clock) : clock_(clock) {}

    // Readings are played in the order added. Once the script is used up the last
    // voltage repeats (0 V when none was given); a scripted error never repeats.
    void Add(std::initializer_list<double> volts);
    void AddRepeated(double volts, std::size_t times);
    void AddError(LJ_ERROR code);
    // Each reading then takes this long on the clock, like a real device call.
    void SetReadDurationMs(std::int32_t ms);
    // The `number`-th write to the power line (1-based) fails with `code`.
    void FailPowerWrite(std::size_t number, LJ_ERROR code);
    // Called after every digital write, on the thread that made it.
    void SetOnWrite(std::function<void(const OutputWrite&)> onWrite);

    std::vector<OutputWrite> Writes() const;
    std::vector<OutputWrite> PowerWrites() const;
    std::vector<std::uint32_t> ReadTicks() const;
    std::size_t ReadCount() const;

    LJ_ERROR OpenLabJack(std::int32_t deviceType, std::int32_t connectionType, const char* address,
                         std::int32_t firstFound, LJ_HANDLE* handle) override;
    LJ_ERROR eGet(LJ_HANDLE handle, std::int32_t ioType, std::int32_t channel, double* value,
                  std::int32_t x1) override;
    LJ_ERROR eDO(LJ_HANDLE handle, std::int32_t channel, std::int32_t state) override;
    DaqIdentity Identity(LJ_HANDLE handle) const override {
        return handle == kHandle ? DaqIdentity{"320000007", "1.46"} : DaqIdentity{};
    }

  private:
    ScriptedReading NextReading();

    Clock& clock_;
    mutable std::mutex mutex_;
    std::vector<ScriptedReading> script_;
    std::size_t nextReading_ = 0;
    double lastVolts_ = 0.0;
    std::int32_t readDurationMs_ = 0;
    std::map<std::size_t, LJ_ERROR> powerFailures_;
    std::size_t powerWrites_ = 0;
    std::function<void(const OutputWrite&)> onWrite_;
    std::vector<OutputWrite> writes_;
    std::vector<std::uint32_t> readTicks_;
};

}  // namespace orvalt::testing
