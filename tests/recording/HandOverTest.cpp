// The recorder's hand-over as two threads of a station use it at once: the
// worker's trace and milestones, and the diagnostic link's lines, handed over
// in random interleavings while the writer takes them in small batches. Each
// event is stored once, each thread's events in the order it handed them
// over, the run's order agrees with the order the hand-overs happened in, and
// every event belongs to the test it was handed over in.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <optional>
#include <random>
#include <thread>

#include "support/RecordsKit.h"
#include "support/TempFolder.h"

namespace orvalt::test {
namespace {

// When a hand-over began and ended, as a count all threads share: one that
// ended before another began must have the smaller sequence number.
struct HandOverSpan {
    std::int64_t began = 0;
    std::int64_t ended = 0;
};

class SharedClock {
  public:
    template <class HandOver>
    HandOverSpan Time(HandOver&& handOver) {
        const std::int64_t began = count_.load();
        handOver();
        return {began, count_.fetch_add(1)};
    }

  private:
    std::atomic<std::int64_t> count_{0};
};

// A worker event as expected back: its test and ms, and its place in the
// worker's own order.
struct Expected {
    int test = 0;
    std::int64_t ms = 0;
    std::size_t place = 0;
    HandOverSpan span;
};

using Stored = StoredTraceRow;

// The worker: tests of random length, each with its power switched on after
// a few readings and a marker switch now and then; pauses and flushes at
// random. Switches are known by their test and ms.
struct Worker {
    std::mt19937 random;
    SharedClock& clock;
    std::map<std::string, Expected> readings;
    std::map<std::pair<int, std::int64_t>, Expected> switches;
    std::size_t places = 0;

    void Pause() {
        const unsigned roll = random() % 200;
        if (roll == 0) {
            std::this_thread::sleep_for(std::chrono::microseconds(300));
        } else if (roll < 8) {
            std::this_thread::yield();
        }
    }

    void RecordTest(RunRecorder& recorder, int test) {
        recorder.BeginTest(SampleTest(test));
        const int events = 800 + static_cast<int>(random() % 1200);
        const int powerAt = static_cast<int>(random() % 5);
        for (int k = 0; k < events; ++k) {
            const std::int64_t ms = k - powerAt;
            if (k == powerAt || random() % 16 == 0) {
                const int line = k == powerAt ? 4 : 5;
                switches[{test, ms}] = {test, ms, places++,
                                        clock.Time([&] { recorder.RecordSwitch(ms, line, true); })};
            } else {
                const std::string key = std::string("w").append(std::to_string(places));
                readings[key] = {test, ms, places++,
                                 clock.Time([&] { recorder.RecordReading(ms, 1.0, key); })};
            }
            Pause();
            if (random() % 3000 == 0) {
                recorder.Flush();
            }
        }
        recorder.EndTest({});
    }
};

struct DiagSender {
    std::mt19937 random;
    SharedClock& clock;
    std::vector<HandOverSpan> spans;

    void Send(RunRecorder& recorder, int lines) {
        for (int k = 0; k < lines; ++k) {
            const std::string raw = std::string("d").append(std::to_string(k));
            spans.push_back(clock.Time([&] { recorder.RecordDiagLine(7, raw, {k, 0, 0}); }));
            if (random() % 100 == 0) {
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        }
    }
};

std::size_t Place(const std::string& key) {
    return static_cast<std::size_t>(std::stoull(key.substr(1)));
}

// Every worker event and diagnostic line once, all of them numbered 0, 1, 2...
void ExpectEachOnceAndNumbered(const std::vector<Stored>& stored, const Worker& worker,
                               std::size_t diagLines) {
    ASSERT_EQ(stored.size(), worker.readings.size() + worker.switches.size() + diagLines);
    std::map<std::string, int> seen;
    for (std::size_t i = 0; i < stored.size(); ++i) {
        ASSERT_EQ(stored[i].seq, static_cast<std::int64_t>(i));
        if (stored[i].text != "s") {
            EXPECT_EQ(++seen[stored[i].text], 1) << stored[i].text;
        }
    }
}

// A worker event's test and time are the ones it was handed over in; the
// worker's events come back in its own order.
const Expected* CheckWorkerEvent(const Stored& event, const Worker& worker, std::size_t& place) {
    const Expected* expected = nullptr;
    if (event.text == "s") {
        const auto found = worker.switches.find({event.test.value_or(-1), event.ms});
        expected = found == worker.switches.end() ? nullptr : &found->second;
    } else {
        const auto found = worker.readings.find(event.text);
        expected = found == worker.readings.end() ? nullptr : &found->second;
    }
    if (expected == nullptr) {
        ADD_FAILURE() << "unexpected " << event.text << " at ms " << event.ms;
        return nullptr;
    }
    EXPECT_EQ(event.test, expected->test) << event.text;
    EXPECT_EQ(event.ms, expected->ms) << event.text;
    EXPECT_GE(expected->place, place) << event.text << " out of the worker's order";
    place = expected->place + 1;
    return expected;
}

// One pass in sequence order: each thread's own order, and no event numbered
// after one whose hand-over began only when its own had ended. A diagnostic
// line between two worker events of one test belongs to that test.
void ExpectOrdersKept(const std::vector<Stored>& stored, const Worker& worker,
                      const DiagSender& diag) {
    std::size_t workerPlace = 0, diagPlace = 0;
    std::int64_t latestBegan = -1;
    std::optional<int> workerTest;
    std::vector<const Stored*> linesSinceWorker;
    for (const Stored& event : stored) {
        HandOverSpan span;
        if (event.text[0] == 'd') {
            const std::size_t place = Place(event.text);
            EXPECT_GE(place, diagPlace) << event.text << " out of the diagnostic order";
            diagPlace = place + 1;
            span = diag.spans.at(place);
            linesSinceWorker.push_back(&event);
        } else {
            const Expected* expected = CheckWorkerEvent(event, worker, workerPlace);
            if (expected == nullptr) {
                return;
            }
            span = expected->span;
            for (const Stored* line : linesSinceWorker) {
                if (workerTest && workerTest == expected->test) {
                    EXPECT_EQ(line->test, workerTest) << line->text;
                }
            }
            linesSinceWorker.clear();
            workerTest = expected->test;
        }
        EXPECT_GE(span.ended, latestBegan) << event.text << " numbered after a later hand-over";
        latestBegan = std::max(latestBegan, span.began);
    }
}

TEST(RecorderHandOverTest, TwoThreadsAtRandomStoreEachEventOnceInTheOrderHandedOver) {
    for (const unsigned seed : {1u, 2u, 3u}) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        TempFolder folder;
        const std::string db = (folder / "results.sqlite").string();
        SharedClock clock;
        Worker worker{std::mt19937(seed), clock, {}, {}, 0};
        DiagSender diag{std::mt19937(seed * 7919u), clock, {}};
        constexpr int kLines = 6000;
        std::string uuid;
        {
            const auto flushEvery = std::chrono::milliseconds(1 + seed % 3);
            RunRecorder recorder({db, folder / "spool.sqlite", std::chrono::milliseconds(50), {}},
                                 {flushEvery});
            uuid = recorder.BeginRun(SampleRun());
            std::thread link([&] { diag.Send(recorder, kLines); });
            for (int test = 0; test < 5; ++test) {
                worker.RecordTest(recorder, test);
            }
            link.join();
            recorder.EndRun({});
        }
        auto opened = OpenSqlConnection(db);
        ASSERT_TRUE(opened.Ok()) << opened.Error();
        const std::vector<Stored> stored = StoredTraceRows(**opened, uuid);
        ExpectEachOnceAndNumbered(stored, worker, kLines);
        ExpectOrdersKept(stored, worker, diag);
        EXPECT_EQ(CountRows(db, "tests", uuid), 5);
    }
}

}  // namespace
}  // namespace orvalt::test
