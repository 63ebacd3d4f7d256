#pragma once
// Records runs as they happen: each event is handed over from whatever
// thread met it without a lock, and a writer thread stores them in the order
// handed over, so recording never slows a measurement. A completed test is
// never lost; a killed station loses at most `flushEvery` of the test in
// progress. How the lanes, chunks and the writer work, and why:
// docs/design/recorder.md.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "recording/HandOverLane.h"
#include "recording/RecordEvents.h"
#include "recording/RecordStore.h"
#include "recording/RunStamper.h"

namespace orvalt {

enum class WriterBehind { Grow, Wait };

struct RecorderOptions {
    std::chrono::milliseconds flushEvery{500};
    WriterBehind whenBehind = WriterBehind::Grow;
};

// What waits for the writer.
struct RecorderBacklog {
    std::size_t events = 0;
    // Each holds up to RunRecorder::kChunkEvents; a lane's first may be
    // partly taken already.
    std::size_t chunks = 0;
    // Empty chunks in the lanes' stocks, ready for the hand-overs, and the
    // chunks a hand-over had to make itself, finding none.
    std::size_t stockedChunks = 0;
    std::uint64_t sparesMadeByHandOvers = 0;
};

class RunRecorder {
  public:
    explicit RunRecorder(RecordStoreOptions store, RecorderOptions options = {});
    // Stores everything handed over, then ends the writer.
    ~RunRecorder();
    RunRecorder(const RunRecorder&) = delete;
    RunRecorder& operator=(const RunRecorder&) = delete;

    // Starts a run record; fills in the identity and start time when empty and
    // returns the run's UUID. A run still open is ended as abandoned first.
    std::string BeginRun(RunStart run);
    void BeginTest(TestRecordStart test);
    // `ms` is the event's time since its test's first power switch, as the
    // session stamped it; the record keeps it as it is.
    void RecordSwitch(std::int64_t ms, int line, bool on);
    void RecordReading(std::int64_t ms, double volts, std::string status);
    void RecordDiagLine(std::int64_t ms, std::string raw, std::array<std::int64_t, 3> fields);
    void EndTest(TestFinish finish);
    void EndRun(RunFinish finish);
    // An alarm raised on the run `runUuid` (ended, or still going); written at
    // once, like a run's end, and spooled like it while the database is away.
    void RecordAlarm(std::string runUuid, AlarmRecord alarm);

    // Waits until everything handed over so far has been written (to the
    // database, the spool, or held for the next try).
    void Flush();
    // The UUID of the run in progress or of the last one; empty before any.
    std::string LastRunUuid() const;
    // As of the last write: what is lost if the recorder ends now
    // (RecordStore::LossIfClosed); empty when everything is stored somewhere.
    std::string LossIfClosed() const;
    RecorderBacklog Backlog() const;

    static constexpr std::size_t kChunkEvents = kLaneChunkEvents;
    // With WriterBehind::Wait, how many chunks' worth of events may wait for
    // the writer before a hand-over waits.
    static constexpr std::size_t kWaitingChunks = 4;

  private:
    HandOverLane& ThisThreadsLane();
    HandOverLane& RegisterLane();
    // One from the pool, or a new one when it is empty.
    OwnedChunk PooledChunkLocked();
    // Takes the event's place in the order and queues it on the thread's lane.
    void HandOver(Handed event);
    void HandOverMilestone(MilestoneHanded milestone);
    // With WriterBehind::Wait: holds a trace hand-over while the writer is
    // kWaitingChunks chunks' worth behind.
    void WaitForWriter();
    void WakeWriter();
    void AskForStock();

    void WriterLoop();
    // Waits for a milestone, a flush, a stop or `flushEvery`; true to stop.
    bool WaitForWork();
    // Takes every event published in order into record events; returns how
    // many it took.
    std::uint64_t TakePublished(StampedEvents& out, std::vector<OwnedChunk>& emptied);
    std::vector<HandOverLane*> Lanes() const;
    void MarkWritten(std::uint64_t upTo);

    // Keeps each lane's stock full, from the chunks the writer emptied or new.
    void StockerLoop();
    void TopUpLanes();
    std::size_t ChunksWanted() const;
    void KeepEmptied(std::vector<OwnedChunk>& chunks);

    RecordStore store_;
    RecorderOptions options_;
    // Tells this recorder's lanes from another's in a thread's memory of them.
    const std::uint64_t id_;

    // The order of the next hand-over.
    std::atomic<std::uint64_t> order_{0};
    std::atomic<std::uint64_t> sparesMadeByHandOvers_{0};

    // The lanes, and the emptied chunks waiting to go to their stocks.
    mutable std::mutex lanesMutex_;
    std::vector<std::unique_ptr<HandOverLane>> lanes_;
    std::vector<std::thread::id> laneThreads_;
    std::vector<OwnedChunk> pool_;
    static constexpr std::size_t kPooledChunks = 16;
    // Changed (and waited on) to ask the stocker for chunks.
    std::atomic<std::uint32_t> stockWanted_{0};
    std::atomic<bool> stockerStopping_{false};

    // The writer's wake-up.
    std::mutex wakeMutex_;
    std::condition_variable wake_;
    bool urgent_ = false;
    bool stopping_ = false;
    // The order up to which a Flush waits.
    std::atomic<std::uint64_t> flushTo_{0};

    // Everything handed over before this order is written.
    std::mutex writtenMutex_;
    std::condition_variable written_;
    std::atomic<std::uint64_t> writtenTo_{0};

    mutable std::mutex lossMutex_;
    std::string lossIfClosed_;
    mutable std::mutex uuidMutex_;
    std::string lastUuid_;

    // The writer's own.
    RunStamper stamper_;
    std::uint64_t nextOrder_ = 0;

    std::thread writer_;
    std::thread stocker_;
};

}  // namespace orvalt
