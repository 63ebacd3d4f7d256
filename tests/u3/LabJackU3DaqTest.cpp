// The Daq calls on a U3 behind a simulated USB bus: opening and its session
// set-up, calibrated readings, line writes, and every failure a device or its
// cable can produce.
#include <gtest/gtest.h>

#include <thread>

#include "support/SimulatedU3Usb.h"
#include "u3/LabJackU3Daq.h"
#include "u3/SampleCalibration.h"

namespace orvalt {
namespace {

using u3::U3Model;

SimulatedU3Traits Traits(U3Model model, std::uint32_t serial = 320000001) {
    SimulatedU3Traits traits;
    traits.model = model;
    traits.serialNumber = serial;
    traits.calibration = u3::SampleCalibration();
    return traits;
}

class U3DaqTest : public ::testing::Test {
  protected:
    LJ_ERROR Open(LJ_HANDLE& handle) { return daq.OpenLabJack(LJ_dtU3, LJ_ctUSB, "", 1, &handle); }
    LJ_ERROR Read(LJ_HANDLE handle, double& volts, int channel = 0) {
        return daq.eGet(handle, LJ_ioGET_AIN, channel, &volts, 0);
    }
    LJ_HANDLE OpenOk() {
        LJ_HANDLE handle = 0;
        EXPECT_EQ(Open(handle), LJE_NOERROR);
        return handle;
    }

    SimulatedU3Bus bus;
    LabJackU3Daq daq{bus.Connector()};
};

TEST_F(U3DaqTest, OpenSetsTheLinesUpWithoutWritingFlash) {
    auto device = bus.PlugIn(Traits(U3Model::lv));
    const LJ_HANDLE handle = OpenOk();
    EXPECT_GT(handle, 0);
    EXPECT_EQ(device->FioAnalog() & 0x31, 0x01);  // FIO0 analog, FIO4/FIO5 digital
    for (int line : {kPowerLine, kMarkerLine}) {
        EXPECT_TRUE(device->LineIsOutput(line)) << line;
        EXPECT_FALSE(device->LineIsHigh(line)) << line;  // the unit starts unpowered
    }
    EXPECT_EQ(device->FlashWrites(), 0);
    // ConfigIO wrote the FIO analog mask and nothing else (no DAC, EIO, timers).
    std::vector<std::uint8_t> ioWriteMasks;
    for (const auto& command : device->ReceivedCommands()) {
        if (command[3] == u3::kCmdConfigIO) {
            ioWriteMasks.push_back(command[6]);
        }
    }
    EXPECT_EQ(ioWriteMasks, (std::vector<std::uint8_t>{0, u3::kWriteFioAnalog}));
    const auto info = daq.DeviceInfo(handle);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->config.serialNumber, 320000001u);
    EXPECT_EQ(info->model, U3Model::lv);
    EXPECT_FALSE(info->calibration.nominalUsed);
}

TEST_F(U3DaqTest, OpenFreesTheStationsLinesFromTimersAndCounters) {
    auto device = bus.PlugIn(Traits(U3Model::lv));
    device->SetTimerCounterConfig(0x45);  // Timer0 on FIO4, Counter0 on FIO5
    OpenOk();
    EXPECT_EQ(u3::TimerCounterLines(device->TimerCounterConfig()) & 0x31, 0);

    device->SetTimerCounterConfig(0x81);  // a timer on EIO0 is left alone
    OpenOk();
    EXPECT_EQ(device->TimerCounterConfig(), 0x81);
}

TEST_F(U3DaqTest, ReadingsUseTheDevicesCalibration) {
    struct Case {
        U3Model model;
        std::uint16_t hardware;
        int channel;
        double volts;
        double step;  // one converter step of that input
    };
    const Case cases[] = {
        {U3Model::lv, 130, 0, 1.234, 3.8E-05}, {U3Model::lv, 130, 0, 0.0112, 3.8E-05},
        {U3Model::lv, 121, 0, 2.1, 3.8E-05},   {U3Model::lv, 120, 0, 0.5, 3.8E-05},
        {U3Model::hv, 130, 0, -7.5, 3.2E-04},  {U3Model::hv, 130, 3, 9.1, 3.2E-04},
    };
    for (const Case& c : cases) {
        SimulatedU3Bus caseBus;
        LabJackU3Daq caseDaq(caseBus.Connector());
        SimulatedU3Traits traits = Traits(c.model);
        traits.hardwareVersion = c.hardware;
        caseBus.PlugIn(traits)->SetInputVolts(c.channel, c.volts);
        LJ_HANDLE handle = 0;
        ASSERT_EQ(caseDaq.OpenLabJack(LJ_dtU3, LJ_ctUSB, "", 1, &handle), LJE_NOERROR);
        double volts = -1.0;
        ASSERT_EQ(caseDaq.eGet(handle, LJ_ioGET_AIN, c.channel, &volts, 0), LJE_NOERROR);
        EXPECT_NEAR(volts, c.volts, c.step) << c.hardware << " AIN" << c.channel;
        EXPECT_EQ(caseDaq.DeviceInfo(handle)->model, c.model);
        EXPECT_EQ(caseDaq.DeviceInfo(handle)->config.hardwareVersion, c.hardware);
    }
}

TEST_F(U3DaqTest, ErasedCalibrationReadsWithNominalConstants) {
    SimulatedU3Traits traits;
    traits.calibrationErased = true;
    auto device = bus.PlugIn(traits);
    device->SetInputVolts(0, 2.0);
    const LJ_HANDLE handle = OpenOk();
    double volts = 0.0;
    ASSERT_EQ(Read(handle, volts), LJE_NOERROR);
    EXPECT_NEAR(volts, 2.0, 1e-4);
    EXPECT_TRUE(daq.DeviceInfo(handle)->calibration.nominalUsed);
}

TEST_F(U3DaqTest, EdoDrivesTheLine) {
    auto device = bus.PlugIn(Traits(U3Model::lv));
    const LJ_HANDLE handle = OpenOk();
    EXPECT_EQ(daq.eDO(handle, kPowerLine, 1), LJE_NOERROR);
    EXPECT_TRUE(device->LineIsHigh(kPowerLine));
    EXPECT_EQ(daq.eDO(handle, kMarkerLine, 1), LJE_NOERROR);
    EXPECT_EQ(daq.eDO(handle, kPowerLine, 0), LJE_NOERROR);
    EXPECT_FALSE(device->LineIsHigh(kPowerLine));
    EXPECT_TRUE(device->LineIsHigh(kMarkerLine));
    EXPECT_EQ(daq.eDO(handle, 17, 1), LJE_NOERROR);  // CIO1 becomes an output
    EXPECT_TRUE(device->LineIsOutput(17));
}

TEST_F(U3DaqTest, ArgumentsAreChecked) {
    bus.PlugIn(Traits(U3Model::lv));
    LJ_HANDLE handle = 0;
    EXPECT_EQ(daq.OpenLabJack(9, LJ_ctUSB, "", 1, &handle), LJE_INVALID_DEVICE_TYPE);
    EXPECT_EQ(daq.OpenLabJack(LJ_dtU3, 2, "", 1, &handle), LJE_INVALID_CONNECTION_TYPE);
    EXPECT_EQ(daq.OpenLabJack(LJ_dtU3, LJ_ctUSB, "", 1, nullptr), LJE_INVALID_PARAMETER);
    EXPECT_EQ(daq.OpenLabJack(LJ_dtU3, LJ_ctUSB, "320000002", 0, &handle), LJE_LABJACK_NOT_FOUND);
    handle = OpenOk();
    double volts = 0.0;
    EXPECT_EQ(daq.eGet(handle + 1, LJ_ioGET_AIN, 0, &volts, 0), LJE_INVALID_HANDLE);
    EXPECT_EQ(daq.eDO(handle + 1, 4, 1), LJE_INVALID_HANDLE);
    EXPECT_EQ(daq.eGet(handle, 11, 0, &volts, 0), LJE_INVALID_PARAMETER);
    EXPECT_EQ(daq.eGet(handle, LJ_ioGET_AIN, 0, nullptr, 0), LJE_INVALID_PARAMETER);
    for (int channel : {-1, 1, 4, 16, 31}) {  // only FIO0 is analog in the session
        EXPECT_EQ(Read(handle, volts, channel), LJE_INVALID_CHANNEL_NUMBER) << channel;
    }
    for (int line : {-1, 0, 20}) {
        EXPECT_EQ(daq.eDO(handle, line, 1), LJE_INVALID_CHANNEL_NUMBER) << line;
    }
}

TEST_F(U3DaqTest, HvReadsItsFourFixedAnalogInputs) {
    bus.PlugIn(Traits(U3Model::hv));
    const LJ_HANDLE handle = OpenOk();
    double volts = 0.0;
    EXPECT_EQ(Read(handle, volts, 3), LJE_NOERROR);
    EXPECT_EQ(Read(handle, volts, 4), LJE_INVALID_CHANNEL_NUMBER);
}

TEST_F(U3DaqTest, OpenFailuresGiveTheDriversCodes) {
    LJ_HANDLE handle = 0;
    EXPECT_EQ(Open(handle), LJE_LABJACK_NOT_FOUND);

    auto device = bus.PlugIn(Traits(U3Model::lv));
    bus.DenyAccess(true);
    EXPECT_EQ(Open(handle), LJE_USB_DRIVER_NOT_FOUND);
    bus.DenyAccess(false);

    LabJackU3Daq otherProcess(bus.Connector());
    ASSERT_EQ(otherProcess.OpenLabJack(LJ_dtU3, LJ_ctUSB, "", 1, &handle), LJE_NOERROR);
    EXPECT_EQ(Open(handle), LJE_DEVICE_ALREADY_OPEN);

    SimulatedU3Bus otherBus;
    SimulatedU3Traits notAU3;
    notAU3.productId = 6;
    otherBus.PlugIn(notAU3);
    LabJackU3Daq otherDaq(otherBus.Connector());
    EXPECT_EQ(otherDaq.OpenLabJack(LJ_dtU3, LJ_ctUSB, "", 1, &handle), LJE_INVALID_DEVICE_TYPE);
}

TEST_F(U3DaqTest, FirstFoundSkipsADeviceHeldElsewhere) {
    bus.PlugIn(Traits(U3Model::lv, 320000001));
    bus.PlugIn(Traits(U3Model::lv, 320000002));
    LabJackU3Daq otherProcess(bus.Connector());
    LJ_HANDLE other = 0;
    ASSERT_EQ(otherProcess.OpenLabJack(LJ_dtU3, LJ_ctUSB, "", 1, &other), LJE_NOERROR);
    const LJ_HANDLE handle = OpenOk();
    EXPECT_EQ(daq.DeviceInfo(handle)->config.serialNumber, 320000002u);
}

TEST_F(U3DaqTest, EveryStartReopensTheHeldDevice) {
    auto device = bus.PlugIn(Traits(U3Model::lv));
    const LJ_HANDLE first = OpenOk();
    EXPECT_EQ(daq.eDO(first, kPowerLine, 1), LJE_NOERROR);
    const LJ_HANDLE second = OpenOk();
    EXPECT_EQ(second, first);
    EXPECT_FALSE(device->LineIsHigh(kPowerLine));  // set up again: unit unpowered
}

// A fault on one exchange fails that call with the matching code; the next
// call on the same handle works.
TEST_F(U3DaqTest, GarbledRepliesFailOneCallEach) {
    struct Case {
        const char* name;
        ReplyFault fault;
        LJ_ERROR code;
    };
    const Case cases[] = {
        {"time-out", ReplyFault::dropped, LJE_COMM_TIMEOUT},
        {"late reply", ReplyFault::late, LJE_COMM_TIMEOUT},
        {"bad checksum", ReplyFault::badChecksum, LJE_CHECKSUM_ERROR},
        {"wrong length", ReplyFault::truncated, LJE_COMM_FAILURE},
        {"noise", ReplyFault::garbage, LJE_COMM_FAILURE},
    };
    auto device = bus.PlugIn(Traits(U3Model::lv));
    const LJ_HANDLE handle = OpenOk();
    double input = 0.5;
    for (const Case& c : cases) {
        device->SetInputVolts(0, input);
        device->InjectReplyFault(c.fault);
        double volts = -1.0;
        EXPECT_EQ(Read(handle, volts), c.code) << c.name;
        // The next reading is the fresh one, never a late or stale reply.
        input += 0.25;
        device->SetInputVolts(0, input);
        ASSERT_EQ(Read(handle, volts), LJE_NOERROR) << c.name;
        EXPECT_NEAR(volts, input, 1e-4) << c.name;
    }
}

TEST_F(U3DaqTest, ALateReplyDuringOpenIsNotTakenForALaterAnswer) {
    auto device = bus.PlugIn(Traits(U3Model::lv));
    device->InjectReplyFault(ReplyFault::late);  // the ConfigU3 reply
    LJ_HANDLE handle = 0;
    EXPECT_EQ(Open(handle), LJE_COMM_TIMEOUT);
    device->SetInputVolts(0, 0.75);
    handle = OpenOk();
    double volts = 0.0;
    ASSERT_EQ(Read(handle, volts), LJE_NOERROR);
    EXPECT_NEAR(volts, 0.75, 1e-4);
}

TEST_F(U3DaqTest, ABadChecksumInTheCommandIsReported) {
    // The device answers 0xB8 0xB8 to any command whose checksum is wrong.
    auto device = bus.PlugIn(Traits(U3Model::lv));
    const auto transport = bus.Connector()->OpenFirstU3();
    ASSERT_TRUE(transport.Ok());
    u3::Bytes command = u3::BuildConfigU3Read();
    command[10] ^= 0x01;
    ASSERT_EQ((*transport)->Write(command, 1000), UsbStatus::ok);
    std::array<std::uint8_t, 64> reply{};
    const auto read = (*transport)->Read(reply, 1000);
    ASSERT_TRUE(read.Ok());
    EXPECT_EQ(u3::CheckExtendedReply(std::span(reply.data(), *read), u3::kCmdConfigU3),
              u3::FrameFault::badChecksumReply);
}

TEST_F(U3DaqTest, FeedbackErrorNamesTheFailedIoType) {
    auto device = bus.PlugIn(Traits(U3Model::lv));
    const LJ_HANDLE handle = OpenOk();
    device->FailNextFeedback(42);
    EXPECT_EQ(daq.eDO(handle, kPowerLine, 1), LJE_UNKNOWN_ERROR);
    const auto fault = daq.LastFault(handle);
    ASSERT_TRUE(fault);
    EXPECT_EQ(fault->errorcode, 42);
    EXPECT_EQ(fault->errorFrame, 2);  // BitStateWrite, after BitDirWrite
    EXPECT_EQ(daq.eDO(handle, kPowerLine, 1), LJE_NOERROR);
}

TEST_F(U3DaqTest, UnplugFailsTheRunAndTheNextStartOpensAgain) {
    auto device = bus.PlugIn(Traits(U3Model::lv));
    const LJ_HANDLE handle = OpenOk();
    double volts = 0.0;
    ASSERT_EQ(Read(handle, volts), LJE_NOERROR);

    device->Unplug();
    EXPECT_EQ(Read(handle, volts), LJE_COMM_FAILURE);
    EXPECT_EQ(daq.eDO(handle, kPowerLine, 0), LJE_DEVICE_NOT_OPEN);
    LJ_HANDLE reopened = 0;
    EXPECT_EQ(Open(reopened), LJE_LABJACK_NOT_FOUND);

    device->Plug();
    device->SetInputVolts(0, 1.5);
    ASSERT_EQ(Open(reopened), LJE_NOERROR);
    EXPECT_EQ(reopened, handle);  // same device, same handle
    ASSERT_EQ(Read(reopened, volts), LJE_NOERROR);
    EXPECT_NEAR(volts, 1.5, 1e-4);
}

// The run records name the U3 that measured: its serial number and firmware
// version as its ConfigU3 reply gave them at the open, the hundredths always
// two digits (1.05 is not 1.5). A handle that names no open device says nothing.
TEST_F(U3DaqTest, IdentityIsWhatTheConfigU3ReplyReported) {
    SimulatedU3Traits older = Traits(U3Model::lv, 320012345);
    older.firmwareVersion = 105;
    SimulatedU3Traits newer = Traits(U3Model::lv, 320099999);
    auto olderDevice = bus.PlugIn(older);
    bus.PlugIn(newer);
    LJ_HANDLE first = 0;
    LJ_HANDLE second = 0;
    ASSERT_EQ(daq.OpenLabJack(LJ_dtU3, LJ_ctUSB, "320012345", 0, &first), LJE_NOERROR);
    ASSERT_EQ(daq.OpenLabJack(LJ_dtU3, LJ_ctUSB, "320099999", 0, &second), LJE_NOERROR);

    const DaqIdentity a = daq.Identity(first);
    const DaqIdentity b = daq.Identity(second);
    EXPECT_EQ(a.serial, "320012345");
    EXPECT_EQ(a.firmware, "1.05");
    EXPECT_EQ(b.serial, "320099999");
    EXPECT_EQ(b.firmware, "1.46");
    EXPECT_EQ(daq.Identity(first + second + 1).serial, "");

    olderDevice->Unplug();
    double volts = 0.0;
    EXPECT_NE(Read(first, volts), LJE_NOERROR);
    EXPECT_EQ(daq.Identity(first).serial, "");
    EXPECT_EQ(daq.Identity(first).firmware, "");
    EXPECT_EQ(u3::VersionText(0), "0.00");
    EXPECT_EQ(u3::VersionText(1210), "12.10");
}

TEST_F(U3DaqTest, UnplugWhileIdleIsNoticedByTheNextStart) {
    auto device = bus.PlugIn(Traits(U3Model::lv));
    const LJ_HANDLE handle = OpenOk();
    device->Unplug();
    device->Plug();
    LJ_HANDLE reopened = 0;
    ASSERT_EQ(Open(reopened), LJE_NOERROR);
    EXPECT_EQ(reopened, handle);
    EXPECT_EQ(daq.eDO(reopened, kPowerLine, 1), LJE_NOERROR);
    EXPECT_TRUE(device->LineIsHigh(kPowerLine));
}

TEST_F(U3DaqTest, ConcurrentCallsOnOneDeviceDoNotMixTheirExchanges) {
    auto device = bus.PlugIn(Traits(U3Model::lv));
    device->SetInputVolts(0, 1.0);
    const LJ_HANDLE handle = OpenOk();
    std::atomic<int> failures{0};
    const auto work = [&](bool reader) {
        for (int i = 0; i < 200; ++i) {
            double volts = 0.0;
            const LJ_ERROR error = reader ? Read(handle, volts) : daq.eDO(handle, 5, i % 2);
            if (error != LJE_NOERROR || (reader && std::abs(volts - 1.0) > 1e-4)) {
                ++failures;
            }
        }
    };
    std::thread reader(work, true);
    std::thread writer(work, false);
    reader.join();
    writer.join();
    EXPECT_EQ(failures.load(), 0);
}

}  // namespace
}  // namespace orvalt
