#pragma once
// Records runs as they happen. The station hands each event over from whatever
// thread met it (the worker's readings and switches, the window's diagnostic
// lines); handing over only queues it, so recording never slows a measurement.
// A writer thread stores the queue: at once after a test or run begins or
// ends, otherwise at least every `flushEvery`, so a killed station loses at most
// that much of the test in progress and never a completed test.
//
// The queue is a list of chunks of fixed capacity. Under the lock a hand-over
// only moves its event into room allocated beforehand, or moves a full chunk
// aside for a spare one; the next spare comes from a stock of chunks whose
// pages are touched already: chunks the writer has emptied, and, while the
// writer is behind, fresh ones a stocker thread makes. A hand-over that finds
// the stock empty allocates its spare itself, after the lock is let go.
// Memory is got from the system only off the measuring thread because doing
// it there stalled a hand-over now and then for a millisecond or more, while
// the writer was giving memory back at the same time.
// The writer takes all waiting chunks at once. What happens when the writer
// falls behind is the recorder's owner's choice (WriterBehind):
// - Grow (real time): the queue grows by whole chunks and nothing is dropped:
//   every event handed over is stored, in order, once the writer catches up. A
//   record proves its verdict, so losing trace to save memory is no option; a
//   station whose database never answers spools to local disk. A hand-over
//   never waits for the writer, so no measurement is ever late.
// - Wait (virtual time, where a late measurement is no later on the clock it
//   is timed by): once kWaitingChunks chunks of events wait to be written, a
//   hand-over waits until the writer has stored them, so memory stays flat
//   however long the run. Nothing is dropped either way.

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

#include "recording/QueuedEvent.h"
#include "recording/RecordEvents.h"
#include "recording/RecordStore.h"

namespace orvalt {

enum class WriterBehind { Grow, Wait };

struct RecorderOptions {
    std::chrono::milliseconds flushEvery{500};
    WriterBehind whenBehind = WriterBehind::Grow;
};

// What waits for the writer.
struct RecorderBacklog {
    std::size_t events = 0;
    std::size_t chunks = 0;  // each holds up to RunRecorder::kChunkEvents
    // Empty chunks ready for the hand-overs, and the spares a hand-over had
    // to allocate itself, finding none.
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

    // Waits until everything handed over so far has been written (to the
    // database, the spool, or held for the next try).
    void Flush();
    // The UUID of the run in progress or of the last one; empty before any.
    std::string LastRunUuid() const;
    // As of the last write: what is lost if the recorder ends now
    // (RecordStore::LossIfClosed); empty when everything is stored somewhere.
    std::string LossIfClosed() const;
    RecorderBacklog Backlog() const;

    static constexpr std::size_t kChunkEvents = 1024;
    // With WriterBehind::Wait, how many chunks' worth of events may wait for
    // the writer before a hand-over waits.
    static constexpr std::size_t kWaitingChunks = 4;

  private:
    using Chunk = std::vector<QueuedEvent>;
    // Its memory touched, so that filling it later faults in no page.
    static Chunk TouchedChunk();
    // Only reserved: its pages fault in one at a time as it fills, so no
    // single hand-over pays for them all.
    static Chunk ReservedChunk();
    static std::vector<Chunk> TouchedChunks(std::size_t count);
    // An emptied chunk for reuse; one of no capacity when none is kept.
    Chunk PooledChunkLocked();
    // Moves the full chunk aside for the spare (a fresh one if the spare is
    // already used up: a single hand-over of more than a chunk's events).
    void StartChunkLocked();
    // Outside the lock: a spare chunk for the next one that fills.
    void ReplaceSpare();
    // Queues under the lock; a milestone wakes the writer at once.
    void PushLocked(RecordEvent event);
    // With WriterBehind::Wait: holds the hand-over while the writer is
    // kWaitingChunks chunks behind.
    void WaitForWriterLocked(std::unique_lock<std::mutex>& lock);
    void EndRunLocked(RunFinish finish);
    void PushTallyLocked();
    TraceStamp NextStamp();
    void WriterLoop();
    // Takes every waiting chunk, the one being filled included.
    std::vector<Chunk> TakeBatch(bool& stopping);
    // Moves emptied chunks into the stock until it is full; the caller frees
    // the rest once the lock is let go.
    void KeepForReuseLocked(std::vector<Chunk>& chunks);
    // With WriterBehind::Grow: tops the stock up whenever it runs low.
    void StockerLoop();

    RecordStore store_;
    RecorderOptions options_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    std::vector<Chunk> full_;
    Chunk filling_;
    Chunk spare_;
    static constexpr std::size_t kPooledChunks = 16;
    static constexpr std::size_t kRestockBelow = kPooledChunks / 2;
    std::vector<Chunk> pool_;
    std::condition_variable stockLow_;
    std::atomic<bool> spareWanted_{true};
    std::uint64_t sparesMadeByHandOvers_ = 0;
    std::uint64_t handed_ = 0;
    std::uint64_t stored_ = 0;
    bool urgent_ = false;
    bool stopping_ = false;
    std::string lossIfClosed_;

    // The run and test in progress, as the producers see them (under mutex_).
    std::optional<RunStart> run_;
    RunTally tally_;
    std::string lastUuid_;
    std::optional<TestRecordStart> test_;
    // Where in the chunk being filled the run's last tally waits, if it does.
    std::optional<std::size_t> tallyAt_;
    std::int64_t nextSeq_ = 0;

    std::thread writer_;
    std::thread stocker_;
};

}  // namespace orvalt
