// How a stop request reaches whoever sleeps: from a signal handler through the
// request's event to a watcher thread, and from a lowered run flag to every
// wait that watches it. The bounds only keep a broken wake-up from hanging a
// test; they say nothing about speed.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <future>
#include <mutex>
#include <thread>

#include "domain/MessageQueue.h"
#include "platform/PollWait.h"
#include "platform/ProcessSignals.h"
#include "platform/StopRequestWatcher.h"

namespace orvalt {
namespace {

using namespace std::chrono_literals;

// Counts the watcher's calls and lets the test wait for one.
struct WakeCount {
    void Wake() {
        {
            std::scoped_lock lock(mutex);
            ++count;
        }
        changed.notify_all();
    }
    bool WaitFor(int wanted) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 20s, [&] { return count >= wanted; });
    }
    std::mutex mutex;
    std::condition_variable changed;
    int count = 0;
};

// SIGINT and SIGTERM, sent to the process as a terminal or kill sends them,
// each make a request the watcher passes on.
TEST(StopRequest, ASignalMakesARequestThatWakesTheWatcher) {
    static StopRequest request;  // the handler may reach it until the process ends
    StopOnTerminationSignals(request);
    WakeCount wakes;
    {
        const StopRequestWatcher watcher(request, [&] { wakes.Wake(); });
        ASSERT_EQ(::kill(::getpid(), SIGINT), 0);
        EXPECT_TRUE(wakes.WaitFor(1));
        EXPECT_TRUE(request.Take());
        EXPECT_FALSE(request.Take());
        ASSERT_EQ(::kill(::getpid(), SIGTERM), 0);
        EXPECT_TRUE(wakes.WaitFor(2));
        EXPECT_TRUE(request.Pending());
    }
    // A request made while nobody watches waits on the event for the next one.
    request.Request();
    EXPECT_EQ(WaitForAny({request.WakeFd()}, 0).kind, PollOutcome::Ready);
    const StopRequestWatcher watcher(request, [&] { wakes.Wake(); });
    EXPECT_TRUE(wakes.WaitFor(3));
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

// A wake ends a message wait with nothing, once; a message still comes after.
TEST(MessageQueue, AWakeEndsTheHandlersWaitWithoutAMessage) {
    MessageQueue queue;
    auto waited = std::async(std::launch::async, [&] { return queue.WaitPop(60s); });
    queue.Wake();
    ASSERT_EQ(waited.wait_for(20s), std::future_status::ready);
    EXPECT_FALSE(waited.get());
    queue.Wake();
    ASSERT_TRUE(queue.MakeTarget()->Post(LinkErrorMessage{"after"}));
    const auto message = queue.WaitPop(0ms);
    ASSERT_TRUE(message);
    EXPECT_EQ(std::get<LinkErrorMessage>(*message).text, "after");
}

// Virtual time waits for the handler before it moves; a stop from another
// thread ends that wait at once, through the flag's waker, though a message
// is still unhandled. A removed waker is not called again.
TEST(RunFlag, LoweringWakesTheIdleWaitThroughItsWakerUntilRemoved) {
    MessageQueue queue;
    RunFlag flag;
    flag.Raise();
    int calls = 0;
    const int key = flag.AddWaker([&] {
        ++calls;
        queue.WakeIdleWaiters();
    });
    ASSERT_TRUE(queue.MakeTarget()->Post(LinkErrorMessage{"never handled"}));
    auto idle = std::async(std::launch::async, [&] { queue.CatchUpUnlessStopped(1, flag); });
    EXPECT_EQ(idle.wait_for(50ms), std::future_status::timeout);
    flag.Lower();
    EXPECT_EQ(idle.wait_for(20s), std::future_status::ready);
    EXPECT_EQ(calls, 1);
    flag.RemoveWaker(key);
    flag.Raise();
    flag.Lower();
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(flag.SleepWhileUp(0ms));
}

}  // namespace
}  // namespace orvalt
