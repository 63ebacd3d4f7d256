#pragma once
// One page's event stream (GET /events, text/event-stream): "retry: 1000",
// then an event `change` with the generation the records are at (once at
// the start, so that a page that reconnects learns whether it missed one,
// then on each change), `database` with "away" or "back" when the database
// goes away or comes back, `replaced` with the time (UTC, ISO 8601) its
// file was last found replaced (at the start too, once it was), and a
// comment line as a keep-alive when nothing else was said for a while.
//
// Each Next waits at most a second, so that a stream whose page went away or
// whose server stops ends within about a second.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "dashboard/ChangeFeed.h"

namespace orvalt {

// A place among the streams a server holds open at once; given back when it
// goes.
class StreamPlace {
  public:
    // Empty when `open` streams are open already.
    static std::unique_ptr<StreamPlace> Take(std::atomic<std::size_t>& open, std::size_t most);
    explicit StreamPlace(std::atomic<std::size_t>& open) : open_(open) {}
    ~StreamPlace() { --open_; }
    StreamPlace(const StreamPlace&) = delete;
    StreamPlace& operator=(const StreamPlace&) = delete;

  private:
    std::atomic<std::size_t>& open_;
};

class EventStream {
  public:
    EventStream(const ChangeFeed& feed, std::unique_ptr<StreamPlace> place,
                std::chrono::milliseconds keepAlive);

    struct Step {
        bool end = false;  // the server stops: the stream ends
        std::string text;  // what to send now; may be empty
    };
    Step Next();

  private:
    const ChangeFeed& feed_;
    std::unique_ptr<StreamPlace> place_;
    std::chrono::milliseconds keepAlive_;
    bool started_ = false;
    LineState seen_;
    std::chrono::steady_clock::time_point lastSent_;
};

}  // namespace orvalt
