#include "recording/RunRecorder.h"

#include "platform/RandomUuid.h"
#include "platform/UtcTime.h"
#include "recording/EventRows.h"

namespace orvalt {

namespace {

void StampTime(std::string& time) {
    if (time.empty()) {
        time = UtcIsoNow();
    }
}

}  // namespace

RunRecorder::RunRecorder(RecordStoreOptions store, RecorderOptions options)
    : store_(std::move(store)),
      options_(options),
      filling_(TouchedChunk()),
      spare_(TouchedChunk()),
      writer_([this] { WriterLoop(); }) {
    // A writer that may hold the producer up needs no more than it lets wait.
    std::vector<Chunk> stock =
        TouchedChunks(options.whenBehind == WriterBehind::Wait ? kWaitingChunks : kPooledChunks);
    {
        std::scoped_lock lock(mutex_);
        pool_ = std::move(stock);
        pool_.reserve(kPooledChunks);
        // Room for a long backlog, so that moving a full chunk aside does not
        // reallocate the list on the measuring thread at every doubling.
        full_.reserve(1024);
        spareWanted_ = false;
    }
    // Where the writer may hold the producers up, its emptied chunks are all
    // the stock they need.
    if (options.whenBehind == WriterBehind::Grow) {
        stocker_ = std::thread([this] { StockerLoop(); });
    }
}

// A hand-over that starts a chunk takes one of these from the stock, and so
// never faults in a page.
std::vector<RunRecorder::Chunk> RunRecorder::TouchedChunks(std::size_t count) {
    std::vector<Chunk> stock;
    stock.reserve(kPooledChunks);
    for (std::size_t i = 0; i < count; ++i) {
        stock.push_back(TouchedChunk());
    }
    return stock;
}

RunRecorder::~RunRecorder() {
    {
        std::scoped_lock lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    stockLow_.notify_all();
    writer_.join();
    if (stocker_.joinable()) {
        stocker_.join();
    }
}

RunRecorder::Chunk RunRecorder::TouchedChunk() {
    Chunk chunk;
    chunk.resize(kChunkEvents);
    chunk.clear();
    return chunk;
}

RunRecorder::Chunk RunRecorder::ReservedChunk() {
    Chunk chunk;
    chunk.reserve(kChunkEvents);
    return chunk;
}

RunRecorder::Chunk RunRecorder::PooledChunkLocked() {
    if (pool_.empty()) {
        return {};
    }
    Chunk chunk = std::move(pool_.back());
    pool_.pop_back();
    if (pool_.size() < kRestockBelow) {
        stockLow_.notify_one();
    }
    return chunk;
}

void RunRecorder::StartChunkLocked() {
    tallyAt_.reset();
    if (!filling_.empty()) {
        full_.push_back(std::move(filling_));
        // Waiting to be woken by time alone would hold up a hand-over waiting
        // for the writer.
        if (options_.whenBehind == WriterBehind::Wait) {
            urgent_ = true;
            wake_.notify_one();
        }
    }
    filling_ = spare_.capacity() >= kChunkEvents ? std::move(spare_) : PooledChunkLocked();
    if (filling_.capacity() < kChunkEvents) {
        filling_ = ReservedChunk();
    }
    spare_ = PooledChunkLocked();
    spareWanted_ = spare_.capacity() < kChunkEvents;
}

void RunRecorder::ReplaceSpare() {
    if (!spareWanted_.load()) {
        return;
    }
    {
        std::scoped_lock lock(mutex_);
        if (spare_.capacity() < kChunkEvents) {
            spare_ = PooledChunkLocked();
        }
        spareWanted_ = spare_.capacity() < kChunkEvents;
        if (!spareWanted_) {
            return;
        }
    }
    Chunk chunk = ReservedChunk();
    std::scoped_lock lock(mutex_);
    if (spare_.capacity() < kChunkEvents) {
        spare_ = std::move(chunk);
        ++sparesMadeByHandOvers_;
    }
    spareWanted_ = false;
}

// Chunks are made outside the lock; any the writer's emptied ones made
// unnecessary meanwhile are freed after it is let go.
void RunRecorder::StockerLoop() {
    while (true) {
        std::size_t wanted = 0;
        {
            std::unique_lock lock(mutex_);
            stockLow_.wait(lock, [&] { return stopping_ || pool_.size() < kRestockBelow; });
            if (stopping_) {
                return;
            }
            wanted = kPooledChunks - pool_.size();
        }
        std::vector<Chunk> made = TouchedChunks(wanted);
        std::scoped_lock lock(mutex_);
        KeepForReuseLocked(made);
    }
}

void RunRecorder::WaitForWriterLocked(std::unique_lock<std::mutex>& lock) {
    constexpr std::uint64_t kMostWaiting = kWaitingChunks * kChunkEvents;
    if (options_.whenBehind != WriterBehind::Wait || handed_ - stored_ < kMostWaiting) {
        return;
    }
    urgent_ = true;
    wake_.notify_one();
    written_.wait(lock, [this] { return handed_ - stored_ < kMostWaiting || stopping_; });
}

void RunRecorder::PushLocked(RecordEvent event) {
    const bool milestone = IsMilestone(event);
    if (filling_.size() >= kChunkEvents || filling_.capacity() < kChunkEvents) {
        StartChunkLocked();
    }
    filling_.push_back(Queued(std::move(event)));
    ++handed_;
    if (milestone) {
        urgent_ = true;
        wake_.notify_one();
    }
}

std::string RunRecorder::BeginRun(RunStart run) {
    if (run.uuid.empty()) {
        run.uuid = NewRandomUuid();
    }
    StampTime(run.startedAt);
    std::string uuid = run.uuid;
    {
        std::scoped_lock lock(mutex_);
        if (run_) {
            EndRunLocked({RecordEnd::Abandoned, "a new run began before this one ended", {}});
        }
        run_ = run;
        tally_ = {};
        lastUuid_ = run.uuid;
        nextSeq_ = 0;
        PushLocked(RunBegan{std::move(run)});
    }
    ReplaceSpare();
    return uuid;
}

void RunRecorder::BeginTest(TestRecordStart test) {
    StampTime(test.startedAt);
    {
        std::scoped_lock lock(mutex_);
        if (!run_) {
            return;
        }
        test_ = test;
        PushLocked(TestBegan{run_->uuid, std::move(test)});
        ++tally_.begun;
        PushTallyLocked();
    }
    ReplaceSpare();
}

// A tally carries the run's whole start (its plan text, its settings), and
// only the newest of them matters to the record. One the writer has not taken
// yet is brought up to date and moved last, instead of copying the start
// again: the queue and the writer's work then stay the same however large the
// plan.
void RunRecorder::PushTallyLocked() {
    if (!tallyAt_) {
        PushLocked(RunTallied{*run_, tally_});
    } else {
        QueuedEvent& slot = filling_[*tallyAt_];
        std::unique_ptr<RecordEvent> boxed =
            std::move(std::get<std::unique_ptr<RecordEvent>>(slot));
        slot = std::monostate{};
        std::get<RunTallied>(*boxed).tally = tally_;
        PushLocked(std::move(*boxed));
    }
    tallyAt_ = filling_.size() - 1;
}

TraceStamp RunRecorder::NextStamp() {
    return {run_->uuid, nextSeq_++, test_ ? std::optional<int>(test_->index) : std::nullopt};
}

void RunRecorder::RecordSwitch(std::int64_t ms, int line, bool on) {
    {
        std::unique_lock lock(mutex_);
        WaitForWriterLocked(lock);
        if (run_) {
            PushLocked(LineSwitched{NextStamp(), {ms, line, on}});
        }
    }
    ReplaceSpare();
}

void RunRecorder::RecordReading(std::int64_t ms, double volts, std::string status) {
    {
        std::unique_lock lock(mutex_);
        WaitForWriterLocked(lock);
        if (run_) {
            PushLocked(ReadingTaken{NextStamp(), {ms, volts, std::move(status)}});
        }
    }
    ReplaceSpare();
}

void RunRecorder::RecordDiagLine(std::int64_t ms, std::string raw,
                                 std::array<std::int64_t, 3> fields) {
    {
        std::unique_lock lock(mutex_);
        WaitForWriterLocked(lock);
        if (run_) {
            PushLocked(DiagLineSeen{NextStamp(), {ms, std::move(raw), fields}});
        }
    }
    ReplaceSpare();
}

void RunRecorder::EndTest(TestFinish finish) {
    StampTime(finish.endedAt);
    {
        std::scoped_lock lock(mutex_);
        if (!run_ || !test_) {
            return;
        }
        CountTestEnd(tally_, finish);
        PushLocked(TestEnded{run_->uuid, std::move(*test_), std::move(finish)});
        test_.reset();
        PushTallyLocked();
    }
    ReplaceSpare();
}

void RunRecorder::EndRunLocked(RunFinish finish) {
    StampTime(finish.endedAt);
    if (test_) {
        TestFinish abandoned{RecordEnd::Abandoned, {}, {}, std::nullopt, finish.endedAt};
        PushLocked(TestEnded{run_->uuid, std::move(*test_), std::move(abandoned)});
        test_.reset();
    }
    PushLocked(RunEnded{std::move(*run_), std::move(finish), tally_});
    run_.reset();
    tallyAt_.reset();
}

void RunRecorder::EndRun(RunFinish finish) {
    {
        std::scoped_lock lock(mutex_);
        if (run_) {
            EndRunLocked(std::move(finish));
        }
    }
    ReplaceSpare();
}

std::string RunRecorder::LastRunUuid() const {
    std::scoped_lock lock(mutex_);
    return lastUuid_;
}

std::string RunRecorder::LossIfClosed() const {
    std::scoped_lock lock(mutex_);
    return lossIfClosed_;
}

void RunRecorder::Flush() {
    std::unique_lock lock(mutex_);
    const std::uint64_t target = handed_;
    urgent_ = true;
    wake_.notify_one();
    written_.wait(lock, [&] { return stored_ >= target; });
}

RecorderBacklog RunRecorder::Backlog() const {
    std::scoped_lock lock(mutex_);
    RecorderBacklog backlog{filling_.size(), full_.size() + (filling_.empty() ? 0 : 1),
                            pool_.size(), sparesMadeByHandOvers_};
    for (const Chunk& chunk : full_) {
        backlog.events += chunk.size();
    }
    return backlog;
}

// The chunk being filled is swapped for a kept one, so that taking the queue
// costs the producers only a few moves.
std::vector<RunRecorder::Chunk> RunRecorder::TakeBatch(bool& stopping) {
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, options_.flushEvery, [&] { return urgent_ || stopping_; });
    urgent_ = false;
    stopping = stopping_;
    std::vector<Chunk> batch = std::exchange(full_, {});
    tallyAt_.reset();
    if (!filling_.empty()) {
        batch.push_back(std::exchange(filling_, PooledChunkLocked()));
    }
    return batch;
}

void RunRecorder::KeepForReuseLocked(std::vector<Chunk>& chunks) {
    while (!chunks.empty() && pool_.size() < kPooledChunks) {
        pool_.push_back(std::move(chunks.back()));
        chunks.pop_back();
    }
}

// The written chunks are emptied outside the lock; those not kept for reuse
// are freed after it is let go.
void RunRecorder::WriterLoop() {
    bool stopping = false;
    while (!stopping) {
        std::vector<Chunk> batch = TakeBatch(stopping);
        EventRows built;
        std::size_t events = 0;
        for (Chunk& chunk : batch) {
            events += chunk.size();
            for (QueuedEvent& queued : chunk) {
                if (std::optional<RecordEvent> event = Unqueued(std::move(queued))) {
                    built.Add(*event);
                }
            }
        }
        std::vector<RowWrite> rows = built.Take();
        if (!rows.empty() || store_.HasBacklog()) {
            store_.Write(std::move(rows));
        }
        std::string loss = store_.LossIfClosed();
        for (Chunk& chunk : batch) {
            chunk.clear();
        }
        std::scoped_lock lock(mutex_);
        lossIfClosed_ = std::move(loss);
        stored_ += events;
        KeepForReuseLocked(batch);
        written_.notify_all();
    }
}

}  // namespace orvalt
