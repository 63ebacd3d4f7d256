#pragma once
// Records runs as they happen. The station hands each event over from whatever
// thread met it (the worker's readings and switches, the window's diagnostic
// lines); handing over only queues it, so recording never slows a measurement.
// A writer thread stores the queue: at once after a test or run begins or
// ends, otherwise at least every `flushEvery`, so a killed station loses at most
// that much of the test in progress and never a completed test.

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "records/RecordEvents.h"
#include "records/RecordStore.h"

namespace orvalt {

struct RecorderOptions {
    std::chrono::milliseconds flushEvery{500};
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
    // `tick` is the station's millisecond tick count; the record keeps the time
    // since the test's first power switch (line 4).
    void RecordSwitch(std::uint32_t tick, int line, bool on);
    void RecordReading(std::uint32_t tick, double volts, std::string status);
    void RecordDiagLine(std::uint32_t tick, std::string raw, std::array<std::int64_t, 3> fields);
    void EndTest(TestFinish finish);
    void EndRun(RunFinish finish);

    // Waits until everything handed over so far has been written (to the
    // database, the spool, or held for the next try). Trace events of a test
    // that has not switched its power yet wait for that switch, which gives
    // them their time.
    void Flush();
    // The UUID of the run in progress or of the last one; empty before any.
    std::string LastRunUuid() const;
    // As of the last write: what is lost if the recorder ends now
    // (RecordStore::LossIfClosed); empty when everything is stored somewhere.
    std::string LossIfClosed() const;

  private:
    // Queues under the lock; a milestone wakes the writer at once.
    void PushLocked(RecordEvent event);
    void EndRunLocked(RunFinish finish);
    void PushTallyLocked();
    TraceStamp NextStamp();
    // Queues a trace event whose ms still holds its raw tick: timed from the
    // test's first power switch, or held until that switch comes.
    void PushTrace(RecordEvent event, std::uint32_t tick);
    void ReleaseHeld();
    void WriterLoop();
    std::vector<RecordEvent> TakeBatch(bool& stopping);

    RecordStore store_;
    RecorderOptions options_;

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable written_;
    std::vector<RecordEvent> pending_;
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
    std::optional<std::uint32_t> origin_;
    bool testHasOrigin_ = false;
    std::vector<std::pair<RecordEvent, std::uint32_t>> beforeOrigin_;
    std::int64_t nextSeq_ = 0;

    std::thread writer_;
};

}  // namespace orvalt
