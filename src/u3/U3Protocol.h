#pragma once
// The LabJack U3's low-level USB protocol as the station uses it: extended
// command frames with their two checksums, the commands ConfigU3, ConfigIO,
// ReadCal and Feedback, and the checks every reply must pass. Pure functions on
// bytes, so every rule of the protocol is testable without a device.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace orvalt::u3 {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

// Byte 1 of every extended frame, in both directions.
constexpr std::uint8_t kExtendedCommandByte = 0xF8;
// The device's whole answer to a command whose checksum it found bad.
constexpr std::uint8_t kBadChecksumByte = 0xB8;
// Checksum8, 0xF8, data word count, command number, Checksum16 (2 bytes).
constexpr std::size_t kHeaderSize = 6;
// The largest frame either side sends on the command endpoint.
constexpr std::size_t kMaxFrameSize = 64;

constexpr std::uint8_t kCmdFeedback = 0x00;
constexpr std::uint8_t kCmdConfigU3 = 0x08;
constexpr std::uint8_t kCmdConfigIO = 0x0B;
constexpr std::uint8_t kCmdReadCal = 0x2D;

// Adds the bytes and folds the carry back in twice (the protocol's Checksum8).
std::uint8_t Checksum8(ByteView bytes);
// Plain 16-bit sum of the bytes (the protocol's Checksum16).
std::uint16_t Checksum16(ByteView bytes);

// An extended command frame around `data`, padded with a zero byte to an even
// length, with its data word count and both checksums filled in.
Bytes BuildExtendedFrame(std::uint8_t command, ByteView data);

// Why a reply could not be taken, or `none`.
enum class FrameFault {
    none,
    badChecksumReply,  // the device said our command's checksum was wrong
    tooShort,
    lengthMismatch,  // the data word count does not match the bytes received
    notExtended,
    wrongCommand,
    checksum8,
    checksum16,
    wrongEcho,  // a sound Feedback reply, but to another command
    wrongSize,  // sound, but not the size this command's reply has
};

// What one reply said: a frame fault, or the device's own error code and, for
// Feedback, the 1-based number of the IOType that failed.
struct ReplyStatus {
    FrameFault fault = FrameFault::none;
    std::uint8_t errorcode = 0;
    std::uint8_t errorFrame = 0;

    bool Ok() const { return fault == FrameFault::none && errorcode == 0; }
};

// Checks framing, checksums and command number of an extended reply.
FrameFault CheckExtendedReply(ByteView reply, std::uint8_t command);

// Firmware, bootloader and hardware versions come as hundredths byte then
// whole-number byte (1.30 is {30, 1}); they are kept as hundredths (130).
struct U3Config {
    std::uint16_t firmwareVersion = 0;
    std::uint16_t bootloaderVersion = 0;
    std::uint16_t hardwareVersion = 0;
    std::uint32_t serialNumber = 0;
    std::uint16_t productId = 0;
    std::uint8_t localId = 0;
    std::uint8_t fioAnalog = 0;
    std::uint8_t fioDirection = 0;
    std::uint8_t fioState = 0;
    std::uint8_t eioAnalog = 0;
    std::uint8_t versionInfo = 0;
};
constexpr std::size_t kConfigU3ReplySize = 38;

// ConfigU3 with WriteMask 0: reads the configuration and power-up defaults and
// writes nothing to flash.
Bytes BuildConfigU3Read();
ReplyStatus ParseConfigU3(ByteView reply, U3Config& config);
// A version as the vendor writes it: 146 is "1.46", 105 "1.05".
std::string VersionText(std::uint16_t hundredths);

// The current (not power-up) line configuration that ConfigIO reads and writes.
struct IoConfig {
    std::uint8_t timerCounterConfig = 0;
    std::uint8_t dac1Enable = 0;
    std::uint8_t fioAnalog = 0;
    std::uint8_t eioAnalog = 0;
};
constexpr std::uint8_t kWriteTimerCounterConfig = 0x01;
constexpr std::uint8_t kWriteDac1Enable = 0x02;
constexpr std::uint8_t kWriteFioAnalog = 0x04;
constexpr std::uint8_t kWriteEioAnalog = 0x08;
constexpr std::size_t kConfigIoReplySize = 12;

// ConfigIO writing only the fields named in `writeMask` (0 reads).
Bytes BuildConfigIo(std::uint8_t writeMask, const IoConfig& config);
ReplyStatus ParseConfigIo(ByteView reply, IoConfig& config);

// The lines 0-15 (FIO0-EIO7) taken by the enabled timers and counters: they
// are assigned in the order Timer0, Timer1, Counter0, Counter1 from the pin
// offset on. Bit n of the result is line n.
std::uint16_t TimerCounterLines(std::uint8_t timerCounterConfig);

using CalBlock = std::array<std::uint8_t, 32>;
constexpr std::size_t kReadCalReplySize = 40;

// ReadMem of one 32-byte block of calibration memory (command 0x2D).
Bytes BuildReadCal(std::uint8_t block);
ReplyStatus ParseReadCal(ByteView reply, CalBlock& block);

// Feedback IOTypes.
constexpr std::uint8_t kIoTypeAin = 1;
constexpr std::uint8_t kIoTypeBitStateWrite = 11;
constexpr std::uint8_t kIoTypeBitDirWrite = 13;
constexpr std::uint8_t kIoTypePortStateWrite = 27;
// Negative channel of a single-ended reading.
constexpr std::uint8_t kSingleEnded = 31;

// The IOTypes of one Feedback command and the reply bytes they will read.
struct FeedbackRequest {
    Bytes ioTypes;
    std::size_t readBytes = 0;
};
void AddAin(FeedbackRequest& request, std::uint8_t positive, std::uint8_t negative);
void AddBitDirWrite(FeedbackRequest& request, std::uint8_t line, bool output);
void AddBitStateWrite(FeedbackRequest& request, std::uint8_t line, bool high);
// Sets the masked lines (bit n = line n of FIO, EIO, CIO) to `state` and makes
// them outputs, all in one step.
void AddPortStateWrite(FeedbackRequest& request, std::uint32_t mask, std::uint32_t state);

Bytes BuildFeedback(std::uint8_t echo, const FeedbackRequest& request);
// On success `data` holds the request's `readBytes` reply bytes in IOType order.
// A reply with an error code is shorter: it carries data only for the IOTypes
// before the failed one.
ReplyStatus ParseFeedback(ByteView reply, std::uint8_t echo, std::size_t readBytes, Bytes& data);

// Reply length of an extended command whose data part has `dataBytes` bytes.
std::size_t ExtendedFrameSize(std::size_t dataBytes);

}  // namespace orvalt::u3
