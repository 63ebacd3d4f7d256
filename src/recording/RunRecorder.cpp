#include "recording/RunRecorder.h"

#include <algorithm>

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

std::uint64_t NewRecorderId() {
    static std::atomic<std::uint64_t> last{0};
    return ++last;
}

}  // namespace

RunRecorder::RunRecorder(RecordStoreOptions store, RecorderOptions options)
    : store_(std::move(store)), options_(options), id_(NewRecorderId()) {
    // The first thread to hand over finds its chunk and its stock ready.
    for (std::size_t i = 0; i <= HandOverLane::kStockedChunks; ++i) {
        pool_.push_back(TouchedLaneChunk());
    }
    writer_ = std::thread([this] { WriterLoop(); });
    stocker_ = std::thread([this] { StockerLoop(); });
}

RunRecorder::~RunRecorder() {
    {
        std::scoped_lock lock(wakeMutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    writer_.join();
    stockerStopping_ = true;
    stockWanted_.fetch_add(1);
    stockWanted_.notify_all();
    stocker_.join();
}

// A thread remembers the lane it used last; another recorder's (or one the
// thread used before this one) is looked up again under the lock.
HandOverLane& RunRecorder::ThisThreadsLane() {
    struct Remembered {
        std::uint64_t recorder = 0;
        HandOverLane* lane = nullptr;
    };
    thread_local Remembered remembered;
    if (remembered.recorder != id_) {
        remembered = {id_, &RegisterLane()};
    }
    return *remembered.lane;
}

HandOverLane& RunRecorder::RegisterLane() {
    std::scoped_lock lock(lanesMutex_);
    const std::thread::id self = std::this_thread::get_id();
    const auto known = std::find(laneThreads_.begin(), laneThreads_.end(), self);
    if (known != laneThreads_.end()) {
        return *lanes_[static_cast<std::size_t>(known - laneThreads_.begin())];
    }
    lanes_.push_back(std::make_unique<HandOverLane>(PooledChunkLocked()));
    laneThreads_.push_back(self);
    while (!pool_.empty() && lanes_.back()->Stock(pool_.back())) {
        pool_.pop_back();
    }
    AskForStock();
    return *lanes_.back();
}

OwnedChunk RunRecorder::PooledChunkLocked() {
    if (pool_.empty()) {
        return TouchedLaneChunk();
    }
    OwnedChunk chunk = std::move(pool_.back());
    pool_.pop_back();
    return chunk;
}

void RunRecorder::HandOver(Handed event) {
    HandOverLane& lane = ThisThreadsLane();
    const HandOverLane::Pushed pushed = lane.MakeRoom();
    lane.Put(order_.fetch_add(1), std::move(event));
    if (pushed == HandOverLane::Pushed::InPlace) {
        return;
    }
    if (pushed == HandOverLane::Pushed::OnChunkMadeHere) {
        sparesMadeByHandOvers_.fetch_add(1, std::memory_order_relaxed);
    }
    AskForStock();
    // Waiting to be woken by time alone would hold up a hand-over waiting for
    // the writer.
    if (options_.whenBehind == WriterBehind::Wait) {
        WakeWriter();
    }
}

void RunRecorder::HandOverMilestone(MilestoneHanded milestone) {
    HandOver(std::make_unique<MilestoneHanded>(std::move(milestone)));
    WakeWriter();
}

void RunRecorder::WaitForWriter() {
    constexpr std::uint64_t kMostWaiting = kWaitingChunks * kChunkEvents;
    const auto behind = [this] { return order_.load() - writtenTo_.load() >= kMostWaiting; };
    if (options_.whenBehind != WriterBehind::Wait || !behind()) {
        return;
    }
    WakeWriter();
    std::unique_lock lock(writtenMutex_);
    written_.wait(lock, [&] { return !behind(); });
}

void RunRecorder::WakeWriter() {
    {
        std::scoped_lock lock(wakeMutex_);
        urgent_ = true;
    }
    wake_.notify_one();
}

// Never waits: the stocker is woken by the change of the counter.
void RunRecorder::AskForStock() {
    stockWanted_.fetch_add(1);
    stockWanted_.notify_one();
}

std::string RunRecorder::BeginRun(RunStart run) {
    if (run.uuid.empty()) {
        run.uuid = NewRandomUuid();
    }
    StampTime(run.startedAt);
    std::string uuid = run.uuid;
    {
        std::scoped_lock lock(uuidMutex_);
        lastUuid_ = uuid;
    }
    HandOverMilestone(RunBeginHanded{std::move(run), UtcIsoNow()});
    return uuid;
}

void RunRecorder::BeginTest(TestRecordStart test) {
    StampTime(test.startedAt);
    HandOverMilestone(TestBeginHanded{std::move(test)});
}

void RunRecorder::RecordSwitch(std::int64_t ms, int line, bool on) {
    WaitForWriter();
    HandOver(SwitchHanded{ms, line, on});
}

void RunRecorder::RecordReading(std::int64_t ms, double volts, std::string status) {
    WaitForWriter();
    HandOver(ReadingHanded{ms, volts, std::move(status)});
}

void RunRecorder::RecordDiagLine(std::int64_t ms, std::string raw,
                                 std::array<std::int64_t, 3> fields) {
    WaitForWriter();
    HandOver(DiagHanded{ms, std::move(raw), fields});
}

void RunRecorder::EndTest(TestFinish finish) {
    StampTime(finish.endedAt);
    HandOverMilestone(TestEndHanded{std::move(finish)});
}

void RunRecorder::EndRun(RunFinish finish) {
    StampTime(finish.endedAt);
    HandOverMilestone(RunEndHanded{std::move(finish)});
}

void RunRecorder::RecordAlarm(std::string runUuid, AlarmRecord alarm) {
    StampTime(alarm.raisedAt);
    HandOverMilestone(AlarmHanded{std::move(runUuid), std::move(alarm)});
}

std::string RunRecorder::LastRunUuid() const {
    std::scoped_lock lock(uuidMutex_);
    return lastUuid_;
}

std::string RunRecorder::LossIfClosed() const {
    std::scoped_lock lock(lossMutex_);
    return lossIfClosed_;
}

// Every hand-over that has taken its order by now is waited for, those still
// publishing their event included.
void RunRecorder::Flush() {
    const std::uint64_t target = order_.load();
    std::uint64_t asked = flushTo_.load();
    while (asked < target && !flushTo_.compare_exchange_weak(asked, target)) {
    }
    WakeWriter();
    std::unique_lock lock(writtenMutex_);
    written_.wait(lock, [&] { return writtenTo_.load() >= target; });
}

RecorderBacklog RunRecorder::Backlog() const {
    RecorderBacklog backlog;
    std::scoped_lock lock(lanesMutex_);
    for (const auto& lane : lanes_) {
        backlog.events += lane->WaitingEvents();
        backlog.chunks += lane->WaitingChunks();
        backlog.stockedChunks += lane->Stocked();
    }
    backlog.sparesMadeByHandOvers = sparesMadeByHandOvers_.load();
    return backlog;
}

// While a flush waits on a hand-over still publishing, the writer looks again
// soon instead of after `flushEvery`.
bool RunRecorder::WaitForWork() {
    const bool flushWaiting = flushTo_.load() > nextOrder_;
    std::unique_lock lock(wakeMutex_);
    wake_.wait_for(lock, flushWaiting ? std::chrono::milliseconds(1) : options_.flushEvery,
                   [&] { return urgent_ || stopping_; });
    urgent_ = false;
    return stopping_;
}

std::vector<HandOverLane*> RunRecorder::Lanes() const {
    std::scoped_lock lock(lanesMutex_);
    std::vector<HandOverLane*> lanes;
    for (const auto& lane : lanes_) {
        lanes.push_back(lane.get());
    }
    return lanes;
}

// The lane holding the next order is the one whose front carries it; each
// lane's orders rise, so none is ever taken out of turn.
std::uint64_t RunRecorder::TakePublished(StampedEvents& out, std::vector<OwnedChunk>& emptied) {
    const std::vector<HandOverLane*> lanes = Lanes();
    const std::uint64_t first = nextOrder_;
    bool found = true;
    while (found) {
        found = false;
        for (HandOverLane* lane : lanes) {
            for (const HandedSlot* front = lane->Front(emptied);
                 front != nullptr && front->order == nextOrder_; front = lane->Front(emptied)) {
                stamper_.Take(lane->Pop(), out);
                ++nextOrder_;
                found = true;
            }
        }
    }
    return nextOrder_ - first;
}

void RunRecorder::MarkWritten(std::uint64_t upTo) {
    {
        std::scoped_lock lock(writtenMutex_);
        writtenTo_ = upTo;
    }
    written_.notify_all();
}

// After the last wake-up (the recorder ending) every hand-over is published,
// so the last pass takes everything.
void RunRecorder::WriterLoop() {
    bool stopping = false;
    StampedEvents stamped;
    std::vector<OwnedChunk> emptied;
    while (!stopping) {
        stopping = WaitForWork();
        TakePublished(stamped, emptied);
        EventRows built;
        for (const RecordEvent& event : stamped.Take()) {
            built.Add(event);
        }
        std::vector<RowWrite> rows = built.Take();
        if (!rows.empty() || store_.HasBacklog()) {
            store_.Write(std::move(rows));
        }
        if (stopping) {
            store_.WriteBacklogBeforeClosing();
        }
        {
            std::string loss = store_.LossIfClosed();
            std::scoped_lock lock(lossMutex_);
            lossIfClosed_ = std::move(loss);
        }
        MarkWritten(nextOrder_);
        KeepEmptied(emptied);
    }
}

// Chunks beyond the pool's size are freed once the lock is let go.
void RunRecorder::KeepEmptied(std::vector<OwnedChunk>& chunks) {
    {
        std::scoped_lock lock(lanesMutex_);
        while (!chunks.empty() && pool_.size() < kPooledChunks) {
            pool_.push_back(std::move(chunks.back()));
            chunks.pop_back();
        }
    }
    chunks.clear();
}

// The stop is checked after the counter is read: a stop asked for after that
// changes the counter, and the wait returns at once.
void RunRecorder::StockerLoop() {
    while (true) {
        const std::uint32_t seen = stockWanted_.load();
        if (stockerStopping_) {
            return;
        }
        TopUpLanes();
        stockWanted_.wait(seen);
    }
}

// New chunks are made outside the lock. The writer's emptied chunks, kept in
// the pool, go first.
void RunRecorder::TopUpLanes() {
    std::vector<OwnedChunk> made(ChunksWanted());
    for (OwnedChunk& chunk : made) {
        chunk = TouchedLaneChunk();
    }
    std::scoped_lock lock(lanesMutex_);
    for (OwnedChunk& chunk : made) {
        pool_.push_back(std::move(chunk));
    }
    for (const auto& lane : lanes_) {
        while (!pool_.empty() && lane->Stock(pool_.back())) {
            pool_.pop_back();
        }
    }
}

std::size_t RunRecorder::ChunksWanted() const {
    std::scoped_lock lock(lanesMutex_);
    std::size_t room = 0;
    for (const auto& lane : lanes_) {
        room += HandOverLane::kStockedChunks - lane->Stocked();
    }
    // One more in the pool, for the next thread's first chunk.
    const std::size_t wanted = room + 1;
    return wanted > pool_.size() ? wanted - pool_.size() : 0;
}

}  // namespace orvalt
