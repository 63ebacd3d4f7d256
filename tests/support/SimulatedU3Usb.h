#pragma once
// LabJack U3s on a simulated USB bus: each answers the protocol's frames as
// the device does (checksums checked, 0xB8 0xB8 for a bad one, ConfigU3,
// ConfigIO, ReadCal from its calibration memory, Feedback with echo, error
// code and error frame), and can be unplugged, claimed elsewhere or made to
// misbehave. It lets the real protocol code run without hardware.

#include <array>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/UsbTransport.h"
#include "u3/U3Calibration.h"

namespace orvalt {

struct SimulatedU3Traits {
    u3::U3Model model = u3::U3Model::lv;
    std::uint16_t hardwareVersion = 130;
    std::uint16_t firmwareVersion = 146;  // hundredths: 1.46
    std::uint32_t serialNumber = 320000001;
    std::uint16_t productId = 3;
    // The device's true constants: how its inputs convert, and (unless
    // erased) what its calibration memory holds.
    u3::U3Calibration calibration = u3::NominalCalibration();
    bool calibrationErased = false;
};

// What goes wrong with the next reply.
enum class ReplyFault {
    none,
    dropped,      // never comes: the read times out
    late,         // comes only after the read has timed out
    badChecksum,  // Checksum16 does not match
    truncated,    // two bytes short
    garbage,      // five bytes of noise
};

class SimulatedU3Usb {
  public:
    explicit SimulatedU3Usb(SimulatedU3Traits traits);

    void SetInputVolts(int channel, double volts);
    bool LineIsOutput(int line) const;
    bool LineIsHigh(int line) const;
    std::uint8_t FioAnalog() const;
    std::uint8_t TimerCounterConfig() const;
    void SetTimerCounterConfig(std::uint8_t config);
    // ConfigU3 commands that asked for a flash write.
    int FlashWrites() const;
    // The latest commands received (at most kCommandLogSize), oldest first.
    std::vector<std::vector<std::uint8_t>> ReceivedCommands() const;
    static constexpr std::size_t kCommandLogSize = 256;

    // Cuts the device off: every transfer on a claim made before fails with
    // noDevice, as libusb reports a pulled cable. Plug makes it claimable.
    void Unplug();
    void Plug();
    void InjectReplyFault(ReplyFault fault, int count = 1);
    // The last IOType of the next Feedback command fails with `errorcode`.
    void FailNextFeedback(std::uint8_t errorcode);

    // The transport's side.
    UsbStatus Claim(std::uint64_t& generation);
    void Release(std::uint64_t generation);
    UsbStatus Receive(std::span<const std::uint8_t> frame, std::uint64_t generation);
    Result<std::size_t, UsbStatus> Deliver(std::span<std::uint8_t> buffer,
                                           std::uint64_t generation);

  private:
    std::vector<std::uint8_t> Answer(std::span<const std::uint8_t> frame);
    std::vector<std::uint8_t> AnswerConfigU3(std::span<const std::uint8_t> frame);
    std::vector<std::uint8_t> AnswerConfigIo(std::span<const std::uint8_t> frame);
    std::vector<std::uint8_t> AnswerReadCal(std::span<const std::uint8_t> frame);
    std::vector<std::uint8_t> AnswerFeedback(std::span<const std::uint8_t> frame);
    // Runs one IOType at `at`; returns its length, or 0 if the device refuses it.
    std::size_t RunIoType(std::span<const std::uint8_t> frame, std::size_t at,
                          std::vector<std::uint8_t>& data);
    void Queue(std::vector<std::uint8_t> reply);
    bool Reachable(std::uint64_t generation) const;

    mutable std::mutex mutex_;
    SimulatedU3Traits traits_;
    u3::CalBlocks calibrationMemory_;
    std::array<double, 16> inputVolts_{};
    std::uint8_t fioAnalog_ = 0;
    std::uint8_t eioAnalog_ = 0;
    std::uint8_t timerCounterConfig_ = 0x40;
    std::uint8_t dac1Enable_ = 0;
    std::uint32_t directions_ = 0;    // bit n: line n is an output
    std::uint32_t states_ = 0xFFFFF;  // power-up: every latch high
    bool plugged_ = true;
    bool claimed_ = false;
    std::uint64_t generation_ = 1;
    std::deque<ReplyFault> faults_;
    std::uint8_t feedbackFailure_ = 0;
    std::deque<std::vector<std::uint8_t>> replies_;
    std::deque<std::vector<std::uint8_t>> lateReplies_;
    std::deque<std::vector<std::uint8_t>> received_;
    int flashWrites_ = 0;
};

// The bus the station's connector searches. Devices are found in the order
// they were plugged in.
class SimulatedU3Bus {
  public:
    SimulatedU3Bus();
    std::shared_ptr<SimulatedU3Usb> PlugIn(SimulatedU3Traits traits = {});
    // Opening fails with `access`, as without the udev rule.
    void DenyAccess(bool denied);
    // A connector for LabJackU3Daq; it shares this bus.
    std::unique_ptr<UsbConnector> Connector() const;

    struct State {
        std::mutex mutex;
        std::vector<std::shared_ptr<SimulatedU3Usb>> devices;
        bool accessDenied = false;
    };

  private:
    std::shared_ptr<State> state_;
};

}  // namespace orvalt
