#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "domain/MessageQueue.h"
#include "platform/Clock.h"

namespace orvalt {
namespace {

TEST(Ticks, DifferenceIsRightAcrossTheWrapOfTheCount) {
    EXPECT_DOUBLE_EQ(TicksToSeconds(0xFFFFFF00u, 0x00000064u), 0.356);
    RealClock clock(0xFFFFFFF0u);
    const std::uint32_t before = clock.NowMs();
    clock.SleepMs(40);
    const double seconds = TicksToSeconds(before, clock.NowMs());
    EXPECT_GE(seconds, 0.040);
    EXPECT_LT(seconds, 5.0);  // a wrap read the wrong way would give ~49 days
}

struct RecordingSource : VirtualEventSource {
    std::vector<std::uint64_t> due;
    std::vector<std::uint64_t> fired;
    std::optional<std::uint64_t> NextDue() override {
        if (due.empty())
            return std::nullopt;
        return due.front();
    }
    void Fire(std::uint64_t now) override {
        fired.push_back(now);
        due.erase(due.begin());
    }
};

TEST(VirtualClock, MovesOnlyInSleepsAndFiresEventsAtTheirMoment) {
    VirtualClock clock(100);
    RecordingSource source;
    source.due = {10, 10, 35, 500};
    clock.AddEventSource(&source);
    int idleCalls = 0;
    clock.SetIdleWaiter([&] { ++idleCalls; });

    EXPECT_EQ(clock.NowMs(), 100u);
    clock.SleepMs(0);
    clock.SleepMs(-5);
    EXPECT_EQ(clock.NowMs(), 100u);

    clock.SleepMs(250);
    EXPECT_EQ(clock.NowMs(), 350u);
    EXPECT_EQ(source.fired, (std::vector<std::uint64_t>{10, 10, 35}));
    // Once before moving, and once after each event: the window has handled
    // whatever an event posted before time goes on.
    EXPECT_EQ(idleCalls, 4);
    clock.RemoveEventSource(&source);
    clock.SleepMs(1000);
    EXPECT_EQ(source.fired.size(), 3u);
}

TEST(MessageQueue, IsIdleOnlyWhenEveryPostedMessageWasHandled) {
    MessageQueue queue;
    WindowHandle target = queue.MakeTarget();
    EXPECT_TRUE(queue.WaitIdleFor(std::chrono::milliseconds(0)));
    EXPECT_TRUE(target->Post(LinkErrorMessage{"12 34"}));
    EXPECT_FALSE(queue.WaitIdleFor(std::chrono::milliseconds(0)));
    auto message = queue.TryPop();
    ASSERT_TRUE(message);
    EXPECT_EQ(std::get<LinkErrorMessage>(*message).text, "12 34");
    EXPECT_FALSE(queue.WaitIdleFor(std::chrono::milliseconds(0)));  // still being handled
    queue.DoneHandling();
    EXPECT_TRUE(queue.WaitIdleFor(std::chrono::milliseconds(0)));
}

// Virtual time's batches: a quiet post leaves the handler asleep; below the
// lag the clock's catch-up returns at once, and at the lag it wakes the
// handler and returns only once every message is handled.
TEST(MessageQueue, QuietPostsWaitForTheLagThenTheHandlerCatchesUpWholly) {
    using namespace std::chrono_literals;
    MessageQueue queue;
    RunFlag flag;
    flag.Raise();
    std::atomic<int> handled{0};
    std::atomic<bool> done{false};
    std::thread handler([&] {
        while (!done.load()) {
            if (queue.WaitPop(60s)) {
                ++handled;
                queue.DoneHandling();
            }
        }
    });
    // A loud post first: once it is handled, the handler goes back to sleep.
    queue.Push(LinkErrorMessage{"ready"});
    ASSERT_TRUE(queue.WaitIdleFor(60s));
    std::this_thread::sleep_for(200ms);
    handled = 0;
    constexpr std::size_t kLag = 4;
    for (std::size_t i = 0; i + 1 < kLag; ++i) {
        queue.PushQuietly(ProgressMessage{ProgressLog, 0, std::to_string(i)});
        queue.CatchUpUnlessStopped(kLag, flag);
    }
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(handled.load(), 0) << "a quiet post woke the handler";
    queue.PushQuietly(ProgressMessage{ProgressLog, 0, "last"});
    queue.CatchUpUnlessStopped(kLag, flag);
    EXPECT_EQ(handled.load(), static_cast<int>(kLag));
    EXPECT_TRUE(queue.WaitIdleFor(0ms));
    done = true;
    queue.Wake();
    handler.join();
}

TEST(PostTarget, DropsPostsOnceDetachedAndForwardersCanBeCutOffAlone) {
    MessageQueue queue;
    WindowHandle window = queue.MakeTarget();
    WindowHandle run = MakeForwardingTarget(window);
    EXPECT_TRUE(run->Post(ProgressMessage{ProgressLog, 0, "a"}));
    run->Detach();
    EXPECT_FALSE(run->Post(ProgressMessage{ProgressLog, 0, "b"}));
    EXPECT_TRUE(window->Post(ProgressMessage{ProgressLog, 0, "c"}));
    EXPECT_EQ(queue.Pending(), 2u);
    window->Detach();
    EXPECT_FALSE(window->Post(RunDoneMessage{}));
}

}  // namespace
}  // namespace orvalt
