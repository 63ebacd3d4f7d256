// Frames, checksums and reply checks of the U3 protocol, against the example
// frames published in the U3 User's Guide where there are some.
#include <gtest/gtest.h>

#include "u3/U3Calibration.h"
#include "u3/U3Protocol.h"

namespace orvalt::u3 {
namespace {

// Feedback with one AIN IOType (AIN0 single ended, echo 0) and the device's
// reply (reading 0x8F20), as published.
const Bytes kPublishedAinCommand{0x1b, 0xf8, 0x02, 0x00, 0x20, 0x00, 0x00, 0x01, 0x00, 0x1f};
const Bytes kPublishedAinReply{0xab, 0xf8, 0x03, 0x00, 0xaf, 0x00,
                               0x00, 0x00, 0x00, 0x20, 0x8f, 0x00};
// Feedback with BitDirRead of line 5, as published.
const Bytes kPublishedBitDirReadCommand{0x0c, 0xf8, 0x02, 0x00, 0x11, 0x00, 0x00, 0x0c, 0x05, 0x00};

TEST(U3Checksums, MatchPublishedFrames) {
    for (const Bytes& frame :
         {kPublishedAinCommand, kPublishedAinReply, kPublishedBitDirReadCommand}) {
        const ByteView view(frame);
        EXPECT_EQ(Checksum8(view.subspan(1, 5)), frame[0]);
        EXPECT_EQ(Checksum16(view.subspan(6)), frame[4] | frame[5] << 8);
    }
}

TEST(U3Checksums, FoldCarriesTwice) {
    // 0xFF * 4 = 0x3FC: 0xFC + 0x03 = 0xFF, no second carry.
    EXPECT_EQ(Checksum8(Bytes{0xFF, 0xFF, 0xFF, 0xFF}), 0xFF);
    // 0xFF * 5 = 0x4FB: 0xFB + 0x04 = 0xFF.
    EXPECT_EQ(Checksum8(Bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF}), 0xFF);
    // 0x80 + 0x80 + 0x7F = 0x17F: 0x7F + 1 = 0x80.
    EXPECT_EQ(Checksum8(Bytes{0x80, 0x80, 0x7F}), 0x80);
    // 0x1FF: 0xFF + 1 = 0x100, which folds again to 0x01.
    EXPECT_EQ(Checksum8(Bytes{0xFF, 0xFF, 0x01}), 0x01);
    // Checksum16 wraps at 16 bits.
    EXPECT_EQ(Checksum16(Bytes(300, 0xFF)), static_cast<std::uint16_t>(300 * 0xFF));
}

TEST(U3Feedback, BuildsAndReadsThePublishedAinExchange) {
    FeedbackRequest request;
    AddAin(request, 0, kSingleEnded);
    EXPECT_EQ(BuildFeedback(0, request), kPublishedAinCommand);

    Bytes data;
    const ReplyStatus status = ParseFeedback(kPublishedAinReply, 0, request.readBytes, data);
    ASSERT_TRUE(status.Ok());
    ASSERT_EQ(data.size(), 2u);
    EXPECT_EQ(data[0] | data[1] << 8, 36640);
}

TEST(U3Feedback, EncodesLineWrites) {
    FeedbackRequest request;
    AddBitDirWrite(request, 4, true);
    AddBitStateWrite(request, 5, false);
    AddBitStateWrite(request, 4, true);
    AddPortStateWrite(request, 0x030030, 0x020010);
    const Bytes expected{13, 0x84, 11, 0x05, 11, 0x84, 27, 0x30, 0x00, 0x03, 0x10, 0x00, 0x02};
    EXPECT_EQ(request.ioTypes, expected);
    EXPECT_EQ(request.readBytes, 0u);
    // Echo plus 13 bytes: 7 data words, no padding.
    const Bytes frame = BuildFeedback(7, request);
    EXPECT_EQ(frame.size(), 20u);
    EXPECT_EQ(frame[2], 7);
    EXPECT_EQ(frame[6], 7);
    EXPECT_EQ(frame.back(), 0x02);
    EXPECT_EQ(CheckExtendedReply(frame, kCmdFeedback), FrameFault::none);
}

TEST(U3Feedback, PadsToAnEvenLength) {
    FeedbackRequest request;
    AddBitStateWrite(request, 4, false);
    const Bytes frame = BuildFeedback(1, request);
    EXPECT_EQ(frame, (Bytes{0x0b, 0xf8, 0x02, 0x00, 0x10, 0x00, 0x01, 0x0b, 0x04, 0x00}));
}

Bytes FeedbackReply(std::uint8_t errorcode, std::uint8_t errorFrame, std::uint8_t echo,
                    const Bytes& data) {
    Bytes body{errorcode, errorFrame, echo};
    body.insert(body.end(), data.begin(), data.end());
    return BuildExtendedFrame(kCmdFeedback, body);
}

TEST(U3Feedback, ErrorReplyIsShortAndNamesTheFailedIoType) {
    // Two AIN requested; the second failed, so only the first one's data came.
    Bytes data{0xEE};
    const ReplyStatus status = ParseFeedback(FeedbackReply(40, 2, 9, {0x10, 0x20}), 9, 4, data);
    EXPECT_EQ(status.fault, FrameFault::none);
    EXPECT_EQ(status.errorcode, 40);
    EXPECT_EQ(status.errorFrame, 2);
    EXPECT_FALSE(status.Ok());
    EXPECT_EQ(data, Bytes{0xEE});  // untouched
}

TEST(U3Feedback, RejectsOtherEchoAndWrongSize) {
    Bytes data;
    EXPECT_EQ(ParseFeedback(FeedbackReply(0, 0, 3, {1, 2}), 4, 2, data).fault,
              FrameFault::wrongEcho);
    EXPECT_EQ(ParseFeedback(FeedbackReply(0, 0, 4, {}), 4, 2, data).fault, FrameFault::wrongSize);
    EXPECT_EQ(ParseFeedback(BuildExtendedFrame(kCmdFeedback, Bytes{0, 0}), 0, 0, data).fault,
              FrameFault::tooShort);
}

// Every way a reply frame can be spoiled, on a sound ConfigIO reply.
TEST(U3Replies, FrameFaultsAreTold) {
    const Bytes sound = BuildExtendedFrame(kCmdConfigIO, Bytes{0, 0, 0x40, 0, 0x01, 0});
    const auto spoiled = [&](auto change) {
        Bytes reply = sound;
        change(reply);
        return reply;
    };
    struct Case {
        const char* name;
        Bytes reply;
        FrameFault fault;
    };
    const Case cases[] = {
        {"sound", sound, FrameFault::none},
        {"bad checksum reply", {0xB8, 0xB8}, FrameFault::badChecksumReply},
        {"empty", {}, FrameFault::tooShort},
        {"header only", Bytes(sound.begin(), sound.begin() + 6), FrameFault::tooShort},
        {"one byte short", Bytes(sound.begin(), sound.end() - 1), FrameFault::lengthMismatch},
        {"normal command byte", spoiled([](Bytes& r) { r[1] = 0x58; }), FrameFault::notExtended},
        {"checksum8", spoiled([](Bytes& r) { r[0] ^= 1; }), FrameFault::checksum8},
        {"checksum16", spoiled([](Bytes& r) { r[10] ^= 1; }), FrameFault::checksum16},
        {"other command", BuildExtendedFrame(kCmdReadCal, Bytes(6, 0)), FrameFault::wrongCommand},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CheckExtendedReply(c.reply, kCmdConfigIO), c.fault) << c.name;
    }
}

TEST(U3ConfigU3, ReadsWithoutFlashWriteAndParsesTheReply) {
    const Bytes command = BuildConfigU3Read();
    ASSERT_EQ(command.size(), 26u);
    EXPECT_EQ(command[2], 0x0A);
    EXPECT_EQ(command[3], kCmdConfigU3);
    EXPECT_EQ(command[6], 0);  // WriteMask: nothing goes to flash
    EXPECT_EQ(command[7], 0);

    // Versions as a real U3 sends them (reply bytes 2e 01 1b 00 1e 01):
    // hundredths first, then the whole number.
    Bytes data(32, 0);
    data[3] = 0x2e, data[4] = 0x01;  // firmware 1.46
    data[5] = 0x1b, data[6] = 0x00;  // bootloader 0.27
    data[7] = 0x1e, data[8] = 0x01;  // hardware 1.30
    data[9] = 0x78, data[10] = 0x56, data[11] = 0x34, data[12] = 0x12;
    data[13] = 3;     // product id
    data[17] = 0x0F;  // FIOAnalog
    data[31] = 18;    // VersionInfo: HV
    U3Config config;
    ASSERT_TRUE(ParseConfigU3(BuildExtendedFrame(kCmdConfigU3, data), config).Ok());
    EXPECT_EQ(config.firmwareVersion, 146);
    EXPECT_EQ(config.bootloaderVersion, 27);
    EXPECT_EQ(config.hardwareVersion, 130);
    EXPECT_EQ(ModelOf(config), U3Model::hv);

    data[7] = 0x15;  // hardware 1.21: an HV VersionInfo is not trusted that early
    ASSERT_TRUE(ParseConfigU3(BuildExtendedFrame(kCmdConfigU3, data), config).Ok());
    EXPECT_EQ(config.hardwareVersion, 121);
    EXPECT_EQ(ModelOf(config), U3Model::lv);
    EXPECT_EQ(config.serialNumber, 0x12345678u);
    EXPECT_EQ(config.productId, 3);
    EXPECT_EQ(config.fioAnalog, 0x0F);
    EXPECT_EQ(config.versionInfo, 18);

    data[0] = 7;  // the device's error code
    EXPECT_EQ(ParseConfigU3(BuildExtendedFrame(kCmdConfigU3, data), config).errorcode, 7);
    EXPECT_EQ(ParseConfigU3(BuildExtendedFrame(kCmdConfigU3, Bytes(30, 0)), config).fault,
              FrameFault::wrongSize);
}

TEST(U3ConfigIo, WritesOnlyMaskedFields) {
    IoConfig io{0x42, 1, 0x31, 0x80};
    const Bytes command = BuildConfigIo(kWriteFioAnalog, io);
    const Bytes expected{0xf8, 0x03, kCmdConfigIO};
    EXPECT_EQ(Bytes(command.begin() + 1, command.begin() + 4), expected);
    EXPECT_EQ(Bytes(command.begin() + 6, command.end()), (Bytes{0x04, 0, 0x42, 1, 0x31, 0x80}));

    IoConfig read;
    ASSERT_TRUE(
        ParseConfigIo(BuildExtendedFrame(kCmdConfigIO, Bytes{0, 0, 0x40, 0, 0x01, 0x02}), read)
            .Ok());
    EXPECT_EQ(read.timerCounterConfig, 0x40);
    EXPECT_EQ(read.fioAnalog, 0x01);
    EXPECT_EQ(read.eioAnalog, 0x02);
}

TEST(U3ConfigIo, TimerAndCounterLinesFollowThePinOffset) {
    struct Case {
        std::uint8_t config;
        std::uint16_t lines;
    };
    const Case cases[] = {
        {0x40, 0x0000},  // offset 4, nothing enabled
        {0x41, 0x0010},  // one timer on FIO4
        {0x42, 0x0030},  // two timers on FIO4, FIO5
        {0x4E, 0x00F0},  // two timers and both counters: FIO4-FIO7
        {0x68, 0x0040},  // counter1 alone at offset 6
        {0x84, 0x0100},  // counter0 at offset 8: EIO0
        {0xF6, 0x8000},  // offset 15: only EIO7 lies within lines 0-15
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TimerCounterLines(c.config), c.lines) << int(c.config);
    }
}

TEST(U3ReadCal, AsksForTheBlockAndReturnsItsBytes) {
    const Bytes command = BuildReadCal(3);
    EXPECT_EQ(command.size(), 8u);
    EXPECT_EQ(command[3], kCmdReadCal);
    EXPECT_EQ(command[7], 3);

    Bytes data(34, 0);
    for (std::size_t i = 0; i < 32; ++i) {
        data[2 + i] = static_cast<std::uint8_t>(i * 7);
    }
    CalBlock block{};
    ASSERT_TRUE(ParseReadCal(BuildExtendedFrame(kCmdReadCal, data), block).Ok());
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(block[31], 31 * 7);
}

}  // namespace
}  // namespace orvalt::u3
