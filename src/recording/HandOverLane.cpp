#include "recording/HandOverLane.h"

namespace orvalt {

OwnedChunk TouchedLaneChunk() {
    return std::make_unique<LaneChunk>();
}

// The lane owns the chunks between its two ends and those in its stock; the
// links hold them as plain pointers because the two threads pass them over.
HandOverLane::HandOverLane(OwnedChunk first) : tail_(first.get()), head_(first.release()) {}

HandOverLane::~HandOverLane() {
    for (LaneChunk* chunk = head_; chunk != nullptr;) {
        OwnedChunk owned(chunk);
        chunk = owned->next.load();
    }
    for (std::uint64_t i = stockedOut_.load(); i != stockedIn_.load(); ++i) {
        OwnedChunk owned(stock_[i % kStockedChunks]);
    }
}

HandOverLane::Pushed HandOverLane::MakeRoom() {
    Pushed how = Pushed::InPlace;
    if (tailFilled_ == kLaneChunkEvents) {
        tail_ = NextChunk(how);
        tailFilled_ = 0;
    }
    return how;
}

void HandOverLane::Put(std::uint64_t order, Handed&& event) {
    HandedSlot& slot = tail_->places[tailFilled_];
    slot.order = order;
    slot.event = std::move(event);
    tail_->published.store(++tailFilled_, std::memory_order_release);
    pushed_.store(pushed_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
}

// The full chunk is linked to the next only once that one is ready: the writer
// retires a chunk when it finds its successor, and the producer writes to it
// no more from then on.
LaneChunk* HandOverLane::NextChunk(Pushed& how) {
    LaneChunk* next = TakeStocked();
    how = Pushed::OnStockedChunk;
    if (next == nullptr) {
        next = TouchedLaneChunk().release();
        how = Pushed::OnChunkMadeHere;
    }
    tail_->next.store(next, std::memory_order_release);
    return next;
}

LaneChunk* HandOverLane::TakeStocked() {
    const std::uint64_t out = stockedOut_.load(std::memory_order_relaxed);
    if (stockedIn_.load(std::memory_order_acquire) == out) {
        return nullptr;
    }
    LaneChunk* chunk = stock_[out % kStockedChunks];
    stockedOut_.store(out + 1, std::memory_order_release);
    return chunk;
}

bool HandOverLane::Stock(OwnedChunk& chunk) {
    const std::uint64_t in = stockedIn_.load(std::memory_order_relaxed);
    if (in - stockedOut_.load(std::memory_order_acquire) >= kStockedChunks) {
        return false;
    }
    stock_[in % kStockedChunks] = chunk.release();
    stockedIn_.store(in + 1, std::memory_order_release);
    return true;
}

std::size_t HandOverLane::Stocked() const {
    const std::uint64_t out = stockedOut_.load(std::memory_order_acquire);
    return static_cast<std::size_t>(stockedIn_.load(std::memory_order_acquire) - out);
}

HandedSlot* HandOverLane::Front(std::vector<OwnedChunk>& emptied) {
    while (true) {
        if (headTaken_ < head_->published.load(std::memory_order_acquire)) {
            return &head_->places[headTaken_];
        }
        LaneChunk* next = head_->next.load(std::memory_order_acquire);
        if (headTaken_ < kLaneChunkEvents || next == nullptr) {
            return nullptr;
        }
        OwnedChunk done(head_);
        done->published.store(0, std::memory_order_relaxed);
        done->next.store(nullptr, std::memory_order_relaxed);
        emptied.push_back(std::move(done));
        head_ = next;
        headTaken_ = 0;
    }
}

Handed HandOverLane::Pop() {
    Handed event = std::move(head_->places[headTaken_].event);
    ++headTaken_;
    popped_.store(popped_.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
    return event;
}

std::size_t HandOverLane::WaitingEvents() const {
    const std::uint64_t popped = popped_.load(std::memory_order_relaxed);
    return static_cast<std::size_t>(pushed_.load(std::memory_order_relaxed) - popped);
}

// Chunk boundaries lie at whole multiples of the capacity of the lane's
// count, so the waiting events span these.
std::size_t HandOverLane::WaitingChunks() const {
    const std::uint64_t popped = popped_.load(std::memory_order_relaxed);
    const std::uint64_t pushed = pushed_.load(std::memory_order_relaxed);
    if (pushed <= popped) {
        return 0;
    }
    return static_cast<std::size_t>((pushed - 1) / kLaneChunkEvents - popped / kLaneChunkEvents +
                                    1);
}

}  // namespace orvalt
