#pragma once
// One producing thread's queue to the writer: chunks of fixed capacity that only
// that thread fills and only the writer empties, so a hand-over takes no lock
// and never waits; each slot carries the recorder-wide order the writer merges
// the lanes by. How chunks are published and restocked: docs/design/recorder.md.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "recording/HandedOver.h"

namespace orvalt {

struct HandedSlot {
    std::uint64_t order = 0;
    Handed event;
};

inline constexpr std::size_t kLaneChunkEvents = 1024;

struct LaneChunk {
    std::array<HandedSlot, kLaneChunkEvents> places{};
    std::atomic<std::size_t> published{0};
    std::atomic<LaneChunk*> next{nullptr};
};

using OwnedChunk = std::unique_ptr<LaneChunk>;

// Every slot constructed, so that filling the chunk later faults in no page.
OwnedChunk TouchedLaneChunk();

class HandOverLane {
  public:
    enum class Pushed { InPlace, OnStockedChunk, OnChunkMadeHere };

    explicit HandOverLane(OwnedChunk first);
    ~HandOverLane();
    HandOverLane(const HandOverLane&) = delete;
    HandOverLane& operator=(const HandOverLane&) = delete;

    // The producing thread's side: room for one more event (a chunk made here
    // only when the stock is empty), then the event in it. Room is made before
    // the event takes its order, so that once it has one nothing can fail
    // before it is published: the writer waits for each order in turn.
    Pushed MakeRoom();
    void Put(std::uint64_t order, Handed&& event);

    // The stocker's side (one thread at a time): takes the chunk when there
    // is room for it.
    bool Stock(OwnedChunk& chunk);
    std::size_t Stocked() const;
    // 16 chunks (1.3 MB a lane) cover a fast sampling loop for some 50 ms
    // while the stocker waits for a processor on a loaded machine.
    static constexpr std::size_t kStockedChunks = 16;

    // The writer's side. The next published slot, or none; chunks found
    // emptied on the way are moved to `emptied`.
    HandedSlot* Front(std::vector<OwnedChunk>& emptied);
    // Moves the front slot's event out; only after Front returned it.
    Handed Pop();

    // What waits for the writer: events, and the chunks they fill.
    std::size_t WaitingEvents() const;
    std::size_t WaitingChunks() const;

  private:
    LaneChunk* NextChunk(Pushed& how);
    LaneChunk* TakeStocked();

    // The producer's end.
    LaneChunk* tail_;
    std::size_t tailFilled_ = 0;
    // The writer's end.
    LaneChunk* head_;
    std::size_t headTaken_ = 0;

    // Counts since the lane began, each written by one end only; for the
    // backlog.
    std::atomic<std::uint64_t> pushed_{0};
    std::atomic<std::uint64_t> popped_{0};

    // A ring the stocker puts into and the producer takes from.
    std::array<LaneChunk*, kStockedChunks> stock_{};
    std::atomic<std::uint64_t> stockedIn_{0};
    std::atomic<std::uint64_t> stockedOut_{0};
};

}  // namespace orvalt
