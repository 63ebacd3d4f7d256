#pragma once
// The simulated U3 behind a session's runs, for the tests that count its
// accesses, look at the unit's power or make it refuse to open. Put in front
// of the device through StationOptions::wrapDevice, it passes every call on.

#include <functional>
#include <memory>
#include <string_view>

#include "domain/Daq.h"
#include "sim/SimulatedU3.h"

namespace orvalt::test {

class DeviceTap {
  public:
    using Wrapper = std::function<std::unique_ptr<Daq>(Daq& inner)>;

    // For StationOptions::wrapDevice: keeps the simulated U3 it is given and
    // puts `front`'s device before it (none: the calls go straight on).
    Wrapper Wrap(Wrapper front = {}) {
        return [this, front = std::move(front)](Daq& inner) -> std::unique_ptr<Daq> {
            device_ = &dynamic_cast<SimulatedU3&>(inner);
            return front ? front(inner) : std::make_unique<PassedOn>(inner);
        };
    }
    // Once the session is built.
    SimulatedU3& Device() const { return *device_; }

  private:
    class PassedOn final : public Daq {
      public:
        explicit PassedOn(Daq& inner) : inner_(inner) {}
        LJ_ERROR Open(std::string_view serial, LJ_HANDLE* h) override {
            return inner_.Open(serial, h);
        }
        LJ_ERROR ReadLightLevel(LJ_HANDLE h, double* v) override {
            return inner_.ReadLightLevel(h, v);
        }
        LJ_ERROR SwitchPower(LJ_HANDLE h, std::int32_t s) override {
            return inner_.SwitchPower(h, s);
        }
        LJ_ERROR SetMarker(LJ_HANDLE h, std::int32_t level) override {
            return inner_.SetMarker(h, level);
        }
        DaqIdentity Identity(LJ_HANDLE h) const override { return inner_.Identity(h); }

      private:
        Daq& inner_;
    };

    SimulatedU3* device_ = nullptr;
};

}  // namespace orvalt::test
