#include "diaglink/CDiagCommPort.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "LinkHarness.h"
#include "domain/Format.h"

namespace orvalt::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;
using ::testing::StartsWith;

// ---- framing: what the far end writes, what the window is posted ----

struct FramingCase {
    const char* name;
    std::vector<std::string> writes;
    std::vector<std::string> lines;
};

const std::string kNoisy(
    "\x01\xff\0\x7f"
    "1 2\t\x80",
    9);

class LinkFraming : public ::testing::TestWithParam<FramingCase> {};

TEST_P(LinkFraming, PostsExactlyTheCompleteNonEmptyLines) {
    LinkHarness harness;
    ASSERT_TRUE(harness.Open());
    for (const auto& chunk : GetParam().writes) {
        harness.Send(chunk);
        // Separate writes are meant to reach the link as separate reads.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    harness.Send("\nEND\n");
    const auto messages = harness.CollectUntilLine("END");
    EXPECT_THAT(LineBytes(messages), ElementsAreArray(GetParam().lines));
    EXPECT_THAT(ErrorTexts(messages), IsEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LinkFraming,
    ::testing::Values(
        FramingCase{"SplitOverManyWrites", {"1", "2 3", "4 ", "56", "\r", "\n"}, {"12 34 56"}},
        FramingCase{"EightBytesThenCrLf", {"12 34 56\r\n"}, {"12 34 56"}},
        FramingCase{"OnlyTerminators", {"\r\n\r\n", "\n\r\r"}, {}},
        FramingCase{
            "EveryMixOfCrAndLf", {"A\rB\nC\r\nD\n\rE\r\r\nF\n\n"}, {"A", "B", "C", "D", "E", "F"}},
        FramingCase{"BinaryNoiseAndNulKept", {kNoisy + "\n"}, {kNoisy}},
        FramingCase{"TerminatorInNextWrite", {"1f 0 2", "\r\n3 4", " 5\n"}, {"1f 0 2", "3 4 5"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A line may be 8191 bytes; anything longer is dropped whole with one report,
// and the next line comes through.
struct LongLineCase {
    std::size_t length;
    bool delivered;
};

class LinkLongLines : public ::testing::TestWithParam<LongLineCase> {};

TEST_P(LinkLongLines, KeepsUpTo8191BytesAndDropsLongerOnesWhole) {
    LinkHarness harness;
    ASSERT_TRUE(harness.Open());
    std::string line(GetParam().length, 'a');
    for (std::size_t i = 0; i < line.size(); i += 97) {
        line[i] = static_cast<char>('0' + i % 10);
    }
    std::thread writer([&] { harness.Send("first\n" + line + "\r\nafter\nEND\n"); });
    const auto messages = harness.CollectUntilLine("END");
    writer.join();
    const auto lines = LineBytes(messages);
    const auto errors = ErrorTexts(messages);
    if (GetParam().delivered) {
        EXPECT_THAT(lines, ElementsAre("first", line, "after"));
        EXPECT_THAT(errors, IsEmpty());
    } else {
        EXPECT_THAT(lines, ElementsAre("first", "after"));
        EXPECT_THAT(errors, ElementsAre("DispatchTask: line longer than 8191 bytes dropped"));
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, LinkLongLines,
                         ::testing::Values(LongLineCase{8190, true}, LongLineCase{8191, true},
                                           LongLineCase{8192, false}, LongLineCase{1 << 20, false}),
                         [](const auto& info) { return std::to_string(info.param.length); });

TEST(LinkFlood, LosesNothingWhenTheWindowTakesNothingUntilTheEnd) {
    LinkHarness harness;
    ASSERT_TRUE(harness.Open());
    constexpr int kLines = 20000;
    std::string bytes;
    for (int i = 0; i < kLines; ++i) {
        bytes += Format("%06x 1 %d\r\n", i, i % 4);
    }
    harness.Send(bytes + "END\n");
    const auto lines = LineBytes(harness.CollectUntilLine("END"));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kLines));
    for (int i = 0; i < kLines; ++i) {
        ASSERT_EQ(lines[i], Format("%06x 1 %d", i, i % 4));
    }
}

// ---- opening and closing ----

TEST(LinkOpening, RefusesAPortThatIsInUseUntilItIsFreed) {
    LinkHarness harness;
    ASSERT_TRUE(harness.Open());
    CDiagCommPort second;
    EXPECT_FALSE(second.OpenLink(harness.window, harness.pty->SlavePath(), 115200));
    EXPECT_FALSE(second.IsOpen());
    EXPECT_THAT(second.LastOpenError(), ::testing::HasSubstr(harness.pty->SlavePath()));
    harness.link.CloseLink();
    EXPECT_TRUE(second.OpenLink(harness.window, harness.pty->SlavePath(), 115200));
}

TEST(LinkOpening, RefusesWhatIsNotAPortAtTheRequestedSpeed) {
    LinkHarness harness;
    const auto regularFile = std::filesystem::temp_directory_path() / "orvalt-not-a-port";
    std::ofstream(regularFile) << "x";
    const std::string pty = harness.pty->SlavePath();
    for (const auto& [path, baud] :
         std::vector<std::pair<std::string, std::int32_t>>{{pty, 0},
                                                           {pty, -9600},
                                                           {"/dev/orvalt-no-such-port", 9600},
                                                           {regularFile.string(), 9600}}) {
        EXPECT_FALSE(harness.link.OpenLink(harness.window, path, baud)) << path << " " << baud;
        EXPECT_FALSE(harness.link.IsOpen());
        EXPECT_FALSE(harness.link.LastOpenError().empty());
    }
    std::filesystem::remove(regularFile);
    EXPECT_TRUE(harness.link.OpenLink(harness.window, pty, 9600));
    EXPECT_FALSE(harness.link.OpenLink(harness.window, pty, 9600)) << "already open";
    EXPECT_EQ(harness.link.OpenDevice(pty, 9600), CDiagCommPort::kOpenFailed);
    EXPECT_TRUE(harness.link.IsOpen());
}

TEST(LinkClosing, EndsPromptlyWhileTheFarEndKeepsWritingAndPostsNothingAfter) {
    LinkHarness harness;
    ASSERT_TRUE(harness.Open());
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        for (int i = 0; writing; ++i) {
            harness.pty->Write(Format("%x 0 1\n", i), 50);
        }
    });
    harness.CollectFor(200);
    const auto started = std::chrono::steady_clock::now();
    harness.link.ClearNotificationWindow();
    harness.link.CloseLink();
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_FALSE(harness.link.IsOpen());
    harness.DropQueued();
    EXPECT_THAT(harness.CollectFor(200), IsEmpty());
    writing = false;
    writer.join();
    harness.link.CloseLink();  // closing a closed link does nothing
}

TEST(LinkClosing, OpensAgainAfterClosingAndReadsOnlyNewInput) {
    LinkHarness harness;
    ASSERT_TRUE(harness.Open());
    harness.Send("one\n");
    EXPECT_THAT(LineBytes(harness.CollectUntilLine("one")), IsEmpty());
    harness.link.CloseLink();
    harness.Send("written while closed\n");
    ASSERT_TRUE(harness.Open());
    harness.Send("two\nEND\n");
    EXPECT_THAT(LineBytes(harness.CollectUntilLine("END")), ElementsAre("two"));
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

TEST(LinkHangUp, IsReportedOnceThenAtMostOnceASecondWithoutSpinning) {
    LinkHarness harness;
    ASSERT_TRUE(harness.Open());
    const double cpuBefore = ProcessCpuSeconds();
    harness.pty->CloseMaster();
    const auto errors = ErrorTexts(harness.CollectFor(3500));
    const double cpuUsed = ProcessCpuSeconds() - cpuBefore;
    ASSERT_FALSE(errors.empty());
    EXPECT_EQ(errors.front(), "ReceiveTask: hangup error[5]");
    EXPECT_LE(errors.size(), 6u);
    for (std::size_t i = 1; i < errors.size(); ++i) {
        EXPECT_THAT(errors[i], StartsWith("ReceiveTask: hangup error[5] (repeated "));
    }
    // Spinning on the hang-up would take a whole core for the 3.5 s.
    EXPECT_LT(cpuUsed, 1.5);
    harness.link.CloseLink();
}

}  // namespace
}  // namespace orvalt::testing
