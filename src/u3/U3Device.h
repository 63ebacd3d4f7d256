#pragma once
// A U3 as the station uses it: set up for a session (analog input on FIO0,
// FIO4 and FIO5 as digital outputs), then single-ended readings in volts and
// writes of digital lines. One mutex per device keeps its exchanges apart,
// whichever threads call.

#include <cstdint>
#include <memory>
#include <mutex>

#include "domain/Daq.h"
#include "u3/U3Calibration.h"
#include "u3/U3Link.h"

namespace orvalt {

struct U3DeviceInfo {
    u3::U3Config config;
    u3::U3Model model = u3::U3Model::lv;
    u3::U3Calibration calibration;
    // Bit n set: line n (FIO0-EIO7) is an analog input in this session.
    std::uint16_t analogLines = 0;
};

class U3Device {
  public:
    U3Device(std::unique_ptr<UsbTransport> transport, unsigned timeoutMs);
    // A device whose link has already been used (to read its serial number).
    explicit U3Device(std::unique_ptr<U3Link> link);

    // Reads the configuration (never writing flash) and the calibration the
    // variant needs, makes FIO0 analog and FIO4/FIO5 digital in the current
    // configuration (timers or counters sitting on them are switched off),
    // and drives FIO4 and FIO5 low as outputs: the unit starts unpowered.
    LJ_ERROR Prepare();
    // One single-ended reading of AIN0-AIN15, calibrated.
    LJ_ERROR ReadAin(int channel, double& volts);
    // Makes a digital line (0-19: FIO, EIO, CIO) an output at the given level.
    LJ_ERROR WriteLine(int line, bool high);

    bool Connected() const;
    // Releases the USB device; the object keeps its last information.
    void Disconnect();
    U3DeviceInfo Info() const;
    U3Fault LastFault() const;

  private:
    LJ_ERROR ReadCalibration(u3::U3Model model, u3::U3Calibration& calibration);
    LJ_ERROR ConfigureLines(u3::U3Model model, std::uint16_t& analogLines);
    LJ_ERROR Feedback(const u3::FeedbackRequest& request, u3::Bytes& data);
    LJ_ERROR Track(LJ_ERROR error);

    mutable std::mutex mutex_;
    std::unique_ptr<U3Link> link_;  // null once the device is released
    U3DeviceInfo info_;
    U3Fault lastFault_;
};

}  // namespace orvalt
