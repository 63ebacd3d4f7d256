#include "dashboard/EventStream.h"

namespace orvalt {

namespace {

constexpr std::chrono::milliseconds kLongestWait{1000};

std::string ChangeEvent(std::uint64_t generation) {
    return "event: change\ndata: " + std::to_string(generation) + "\n\n";
}

std::string DatabaseEvent(bool away) {
    return std::string("event: database\ndata: ").append(away ? "away" : "back").append("\n\n");
}

std::string ReplacedEvent(const std::string& replacedAt) {
    return "event: replaced\ndata: " + replacedAt + "\n\n";
}

}  // namespace

std::unique_ptr<StreamPlace> StreamPlace::Take(std::atomic<std::size_t>& open, std::size_t most) {
    std::size_t now = open.load();
    do {
        if (now >= most) {
            return nullptr;
        }
    } while (!open.compare_exchange_weak(now, now + 1));
    return std::make_unique<StreamPlace>(open);
}

EventStream::EventStream(const ChangeFeed& feed, std::unique_ptr<StreamPlace> place,
                         std::chrono::milliseconds keepAlive)
    : feed_(feed), place_(std::move(place)), keepAlive_(keepAlive) {}

EventStream::Step EventStream::Next() {
    const auto now = std::chrono::steady_clock::now();
    if (!started_) {
        started_ = true;
        seen_ = feed_.State();
        lastSent_ = now;
        std::string text = "retry: 1000\n\n" + ChangeEvent(seen_.generation);
        if (seen_.away) {
            text += DatabaseEvent(true);
        }
        if (!seen_.replacedAt.empty()) {
            text += ReplacedEvent(seen_.replacedAt);
        }
        return {seen_.stopping, text};
    }
    const LineState state = feed_.WaitPast(seen_.generation, seen_.away, kLongestWait);
    if (state.stopping) {
        return {true, {}};
    }
    std::string text;
    if (state.away != seen_.away) {
        text += DatabaseEvent(state.away);
    }
    if (state.replacedAt != seen_.replacedAt) {
        text += ReplacedEvent(state.replacedAt);
    }
    if (state.generation != seen_.generation) {
        text += ChangeEvent(state.generation);
    }
    seen_ = state;
    const auto after = std::chrono::steady_clock::now();
    if (text.empty() && after - lastSent_ >= keepAlive_) {
        text = ": keep-alive\n\n";
    }
    if (!text.empty()) {
        lastSent_ = after;
    }
    return {false, text};
}

}  // namespace orvalt
