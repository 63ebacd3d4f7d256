#include "dashboard/ReadConnections.h"

#include <utility>

namespace orvalt {

ReadConnections::ReadConnections(Opener open, std::size_t count)
    : open_(std::move(open)), free_(count) {}

ReadConnections::Lease::Lease(ReadConnections& owner, std::unique_ptr<SqlConnection> connection)
    : owner_(&owner), connection_(std::move(connection)) {}

ReadConnections::Lease::Lease(Lease&& other) noexcept
    : owner_(std::exchange(other.owner_, nullptr)),
      connection_(std::move(other.connection_)),
      fresh_(other.fresh_),
      failed_(other.failed_),
      round_(other.round_) {}

ReadConnections::Lease::~Lease() {
    if (owner_ != nullptr) {
        owner_->GiveBack(std::move(connection_), failed_, round_);
    }
}

void ReadConnections::Lease::Drop() {
    connection_.reset();
    failed_ = true;
}

Result<ReadConnections::Lease> ReadConnections::Borrow(std::chrono::milliseconds wait) {
    std::unique_ptr<SqlConnection> connection;
    std::uint64_t round = 0;
    {
        std::unique_lock lock(mutex_);
        if (!freed_.wait_for(lock, wait, [this] { return free_ > 0; })) {
            return Fail(std::string("every connection to the results database stayed busy"));
        }
        --free_;
        round = round_;
        if (!open_idle_.empty()) {
            connection = std::move(open_idle_.back());
            open_idle_.pop_back();
        }
    }
    // Given back when it goes, even when the opening below fails.
    Lease lease(*this, std::move(connection));
    lease.round_ = round;
    if (lease.Connection() == nullptr) {
        Result<std::unique_ptr<SqlConnection>> opened = open_();
        if (!opened) {
            return Fail(opened.Error());
        }
        lease.connection_ = std::move(opened).Value();
        lease.fresh_ = true;
    }
    return lease;
}

// A connection lent before the last LetAllGo may hold the old file: it is
// closed, not kept.
void ReadConnections::GiveBack(std::unique_ptr<SqlConnection> connection, bool failed,
                               std::uint64_t round) {
    std::vector<std::unique_ptr<SqlConnection>> closing;
    {
        const std::scoped_lock lock(mutex_);
        ++free_;
        if (failed) {
            closing.swap(open_idle_);
        } else if (connection && round == round_) {
            open_idle_.push_back(std::move(connection));
        }
    }
    freed_.notify_one();
}  // closed here, outside the lock

void ReadConnections::LetAllGo() {
    std::vector<std::unique_ptr<SqlConnection>> closing;
    {
        const std::scoped_lock lock(mutex_);
        ++round_;
        closing.swap(open_idle_);
    }
}  // closed here, outside the lock

}  // namespace orvalt
