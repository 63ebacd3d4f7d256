#pragma once
// A few read-only connections to the records, each lent to one request at a
// time: a page waits for a free one rather than opening its own, so a burst
// of pages never floods the database server with logins. A connection that
// failed a query is closed and opened again by the next request, so the
// pages come back by themselves when the database does. Once the database's
// file was replaced, every connection opened before is closed rather than
// lent again.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "base/Result.h"
#include "records/SqlConnection.h"

namespace orvalt {

class ReadConnections {
  public:
    // Opens one connection; an empty one when nothing is recorded there yet.
    using Opener = std::function<Result<std::unique_ptr<SqlConnection>>()>;

    ReadConnections(Opener open, std::size_t count);

    // One connection while it lives; given back when it goes.
    class Lease {
      public:
        Lease(ReadConnections& owner, std::unique_ptr<SqlConnection> connection);
        Lease(Lease&& other) noexcept;
        Lease& operator=(Lease&&) = delete;
        ~Lease();

        // Empty when nothing is recorded yet (no file, no schema).
        SqlConnection* Connection() const { return connection_.get(); }
        // Opened for this lease rather than taken from the idle ones.
        bool Fresh() const { return fresh_; }
        // The connection failed: it is closed rather than given back, and
        // so are the idle ones, which most likely lost the database too.
        void Drop();

      private:
        friend class ReadConnections;
        ReadConnections* owner_;
        std::unique_ptr<SqlConnection> connection_;
        bool fresh_ = false;
        bool failed_ = false;
        std::uint64_t round_ = 0;  // the owner's round when it was lent
    };

    // A free connection, opened when it is not open yet; a failure when the
    // database can't be opened, or when every connection stays busy for
    // `wait`.
    Result<Lease> Borrow(std::chrono::milliseconds wait);

    // Closes the idle connections, and each one lent now once it is given
    // back: the next requests open the database again.
    void LetAllGo();

  private:
    void GiveBack(std::unique_ptr<SqlConnection> connection, bool failed, std::uint64_t round);

    Opener open_;
    std::mutex mutex_;
    std::condition_variable freed_;
    std::size_t free_;         // connections not lent, open or not
    std::uint64_t round_ = 0;  // counts LetAllGo
    std::vector<std::unique_ptr<SqlConnection>> open_idle_;
};

}  // namespace orvalt
