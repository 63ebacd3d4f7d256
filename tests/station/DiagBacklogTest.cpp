// The bound on the diagnostic lines waiting for the handler thread: a consumer
// that falls behind loses the oldest lines, never a progress or run-done
// message, and hears how many it lost; the recorder still sees every line.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "domain/Format.h"
#include "domain/MessageQueue.h"
#include "platform/PseudoTerminal.h"
#include "station/StationSession.h"

namespace orvalt {
namespace {

using namespace std::chrono_literals;

DiagLineMessage Line(int sequence, std::size_t length) {
    std::string bytes = Format("%08X", static_cast<unsigned>(sequence));
    bytes.resize(std::max<std::size_t>(length, 8), '.');
    return DiagLineMessage{DiagLine{bytes, {}, 0}};
}

int SequenceOf(const DiagLine& line) {
    return static_cast<int>(std::strtol(line.bytes.substr(0, 8).c_str(), nullptr, 16));
}

struct Drained {
    std::vector<int> lines;
    std::vector<int> others;  // progress rows and run numbers, in arrival order
};

Drained Drain(MessageQueue& queue) {
    Drained drained;
    while (auto message = queue.TryPop()) {
        if (const auto* line = std::get_if<DiagLineMessage>(&*message)) {
            drained.lines.push_back(SequenceOf(line->line));
        } else if (const auto* progress = std::get_if<ProgressMessage>(&*message)) {
            drained.others.push_back(progress->row);
        } else if (const auto* done = std::get_if<RunDoneMessage>(&*message)) {
            drained.others.push_back(done->runNumber);
        }
        queue.DoneHandling();
    }
    return drained;
}

// Random mixes of lines (of random lengths) and other messages: the lines kept
// are the newest that fit both bounds, every other message survives in order,
// the drops are counted and the queue is idle once drained.
TEST(DiagBacklog, KeepsTheNewestLinesThatFitAndEveryOtherMessage) {
    constexpr DiagBacklogLimit kLimit{8, 160};
    for (unsigned seed = 1; seed <= 200; ++seed) {
        std::mt19937 random(seed);
        MessageQueue queue(kLimit);
        std::vector<std::size_t> lengths;
        std::vector<int> others;
        const int messages = std::uniform_int_distribution<int>(0, 60)(random);
        for (int i = 0; i < messages; ++i) {
            if (random() % 4 == 0) {
                others.push_back(i);
                queue.Push(random() % 2 ? PostedMessage{ProgressMessage{ProgressLog, i, "p"}}
                                        : PostedMessage{RunDoneMessage{i}});
                continue;
            }
            lengths.push_back(std::uniform_int_distribution<std::size_t>(0, 60)(random));
            queue.Push(Line(static_cast<int>(lengths.size() - 1), lengths.back()));
        }
        // The newest lines whose total fits, at least the newest one.
        std::vector<int> expected;
        std::size_t bytes = 0;
        for (int k = static_cast<int>(lengths.size()) - 1; k >= 0; --k) {
            bytes += std::max<std::size_t>(lengths[k], 8);
            if (!expected.empty() && (expected.size() == kLimit.lines || bytes > kLimit.bytes)) {
                break;
            }
            expected.insert(expected.begin(), k);
        }
        EXPECT_EQ(queue.TakeDroppedLines(), lengths.size() - expected.size()) << "seed " << seed;
        EXPECT_EQ(queue.TakeDroppedLines(), 0u) << "counted once";
        const Drained drained = Drain(queue);
        EXPECT_EQ(drained.lines, expected) << "seed " << seed;
        EXPECT_EQ(drained.others, others) << "seed " << seed;
        EXPECT_TRUE(queue.WaitIdleFor(0ms)) << "dropped lines still awaited, seed " << seed;
    }
}

class LineCounter final : public SessionObserver {
  public:
    void DiagLineDecoded(const DiagLine& line, const EventTime&) override {
        lastField1 = line.fields.field1;
        ++lines;
    }
    std::atomic<int> lines{0};
    std::atomic<std::int32_t> lastField1{-1};
};

// "…dropped" counts one line, "…dropped (repeated N times)" N more.
int LinesReported(const std::vector<std::string>& reports) {
    static const std::regex kReport(
        R"(DispatchTask: queue full, oldest diagnostic line dropped(?: \(repeated (\d+) times\))?)");
    int total = 0;
    for (const std::string& text : reports) {
        std::smatch match;
        if (!std::regex_match(text, match, kReport)) {
            ADD_FAILURE() << "unexpected report: " << text;
            continue;
        }
        total += match[1].matched ? std::stoi(match[1].str()) : 1;
    }
    return total;
}

// Nobody handles the session's messages while the far end floods: the
// recorder still sees every line, the queue keeps the newest, and once the
// handler thread comes back it hears how many were dropped.
TEST(DiagBacklog, AFloodPastAnIdleHandlerKeepsTheNewestLinesAndReportsTheDrops) {
    constexpr int kSent = 3000;
    constexpr std::size_t kKept = 50;
    auto pty = PseudoTerminal::Open();
    ASSERT_TRUE(pty);
    LineCounter recorded;
    SessionOptions options{StationOptions{true, false, UnitProfile{}, {}}, {}};
    options.diagBacklog = DiagBacklogLimit{kKept, 1 << 20};
    StationSession session(options);
    session.Observers().Attach(recorded);
    ASSERT_TRUE(session.OpenLink(pty->SlavePath(), 4000000)) << session.Status().linkOpenError;
    std::string flood;
    for (int i = 0; i < kSent; ++i) {
        flood += Format("%08X 00000001 00000000\r\n", static_cast<unsigned>(i));
    }
    const auto floodStart = std::chrono::steady_clock::now();
    ASSERT_EQ(pty->Write(flood, 20000).written, flood.size());
    for (auto limit = floodStart + 30s;
         recorded.lines < kSent && std::chrono::steady_clock::now() < limit;) {
        std::this_thread::sleep_for(5ms);
    }
    const auto floodSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - floodStart).count();
    ASSERT_EQ(recorded.lines, kSent) << "the recorder sees every line";
    EXPECT_EQ(recorded.lastField1, kSent - 1);

    constexpr int kDropped = kSent - static_cast<int>(kKept);
    std::vector<int> lines;
    std::vector<std::string> reports;
    std::size_t handled = 0;
    const auto keep = [&](const PostedMessage& message) {
        ++handled;
        if (const auto* line = std::get_if<DiagLineMessage>(&message)) {
            lines.push_back(SequenceOf(line->line));
        } else if (const auto* error = std::get_if<LinkErrorMessage>(&message)) {
            reports.push_back(error->text);
        }
    };
    while (session.HandleNext(0ms, keep)) {
    }
    EXPECT_LE(handled, kKept + 2) << "lines plus at most the drop reports";
    for (auto limit = std::chrono::steady_clock::now() + 30s;
         LinesReported(reports) < kDropped && std::chrono::steady_clock::now() < limit;) {
        session.HandleNext(5ms, keep);
    }
    session.CloseDiagnostics();

    std::vector<int> expected;
    for (int i = kSent - static_cast<int>(kKept); i < kSent; ++i) {
        expected.push_back(i);
    }
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(LinesReported(reports), kDropped);
    ASSERT_FALSE(reports.empty());
    EXPECT_EQ(reports.front().find("repeated"), std::string::npos) << "the first drop at once";
    EXPECT_LE(reports.size(), 2 + static_cast<std::size_t>(floodSeconds))
        << "at most once a second";
}

}  // namespace
}  // namespace orvalt
