#include "support/ScriptedDaq.h"

namespace orvalt::testing {

void ScriptedDaq::Add(std::initializer_list<double> volts) {
    std::scoped_lock lock(mutex_);
    for (double v : volts) {
        script_.push_back(ScriptedReading{v, LJE_NOERROR});
    }
}

void ScriptedDaq::AddRepeated(double volts, std::size_t times) {
    std::scoped_lock lock(mutex_);
    script_.insert(script_.end(), times, ScriptedReading{volts, LJE_NOERROR});
}

void ScriptedDaq::AddError(LJ_ERROR code) {
    std::scoped_lock lock(mutex_);
    script_.push_back(ScriptedReading{0.0, code});
}

void ScriptedDaq::SetReadDurationMs(std::int32_t ms) {
    std::scoped_lock lock(mutex_);
    readDurationMs_ = ms;
}

void ScriptedDaq::FailPowerWrite(std::size_t number, LJ_ERROR code) {
    std::scoped_lock lock(mutex_);
    powerFailures_[number] = code;
}

void ScriptedDaq::SetOnWrite(std::function<void(const OutputWrite&)> onWrite) {
    std::scoped_lock lock(mutex_);
    onWrite_ = std::move(onWrite);
}

std::vector<OutputWrite> ScriptedDaq::Writes() const {
    std::scoped_lock lock(mutex_);
    return writes_;
}

std::vector<OutputWrite> ScriptedDaq::PowerWrites() const {
    std::vector<OutputWrite> power;
    for (const auto& write : Writes()) {
        if (write.channel == kPowerLine) {
            power.push_back(write);
        }
    }
    return power;
}

std::vector<std::uint32_t> ScriptedDaq::ReadTicks() const {
    std::scoped_lock lock(mutex_);
    return readTicks_;
}

std::size_t ScriptedDaq::ReadCount() const {
    return ReadTicks().size();
}

LJ_ERROR ScriptedDaq::OpenLabJack(std::int32_t, std::int32_t, const char*, std::int32_t,
                                  LJ_HANDLE* handle) {
    *handle = kHandle;
    return LJE_NOERROR;
}

ScriptedReading ScriptedDaq::NextReading() {
    std::scoped_lock lock(mutex_);
    readTicks_.push_back(clock_.NowMs());
    if (nextReading_ < script_.size()) {
        const ScriptedReading reading = script_[nextReading_++];
        if (reading.error == LJE_NOERROR) {
            lastVolts_ = reading.volts;
        }
        return reading;
    }
    return ScriptedReading{lastVolts_, LJE_NOERROR};
}

LJ_ERROR ScriptedDaq::eGet(LJ_HANDLE handle, std::int32_t ioType, std::int32_t channel,
                           double* value, std::int32_t) {
    if (handle != kHandle) {
        return LJE_INVALID_HANDLE;
    }
    if (ioType != LJ_ioGET_AIN || channel != 0) {
        return LJE_INVALID_CHANNEL_NUMBER;
    }
    std::int32_t duration = 0;
    {
        std::scoped_lock lock(mutex_);
        duration = readDurationMs_;
    }
    clock_.SleepMs(duration);
    const ScriptedReading reading = NextReading();
    if (reading.error == LJE_NOERROR) {
        *value = reading.volts;
    }
    return reading.error;
}

LJ_ERROR ScriptedDaq::eDO(LJ_HANDLE handle, std::int32_t channel, std::int32_t state) {
    OutputWrite write{channel, state, clock_.NowMs(), LJE_NOERROR};
    std::function<void(const OutputWrite&)> onWrite;
    {
        std::scoped_lock lock(mutex_);
        if (handle != kHandle) {
            write.result = LJE_INVALID_HANDLE;
        } else if (channel == kPowerLine) {
            const auto failure = powerFailures_.find(++powerWrites_);
            if (failure != powerFailures_.end()) {
                write.result = failure->second;
            }
        }
        writes_.push_back(write);
        onWrite = onWrite_;
    }
    if (onWrite) {
        onWrite(write);
    }
    return write.result;
}

}  // namespace orvalt::testing
