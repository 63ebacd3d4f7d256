#include "dashboard/HttpFront.h"

#include <algorithm>

#include "platform/ListeningSocket.h"

namespace orvalt {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kStopKey = 0;
constexpr std::uint64_t kListeningKey = 1;
constexpr std::size_t kReadSize = 16 * 1024;
// Accepted per wake, so that a flood of connections can't keep the front
// from reading the requests it has.
constexpr int kAcceptsPerWake = 64;
// After a refusal, what the client still sends is read and dropped for a
// moment (closing with bytes unread would reset the connection and lose the
// answer), but no longer, nor more than this.
constexpr std::chrono::seconds kLingerAfterRefusal{1};
constexpr std::size_t kMostDroppedAfterRefusal = 256 * 1024;
// Out of descriptors with none to free: taking connections waits this long.
constexpr std::chrono::milliseconds kAcceptPause{100};
constexpr std::chrono::milliseconds kLongestWait{1000};

constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";

}  // namespace

HttpFront::HttpFront(int listening, FrontLimits limits, Route route, Refusal refusal)
    : listening_(listening),
      limits_(limits),
      route_(std::move(route)),
      refusal_(std::move(refusal)) {}

HttpFront::~HttpFront() {
    Stop();
}

bool HttpFront::Start() {
    if (!poll_.Valid() || !stop_.Valid() || !AcceptWithoutWaiting(listening_) ||
        !poll_.Add(stop_.Fd(), kStopKey) || !poll_.Add(listening_, kListeningKey)) {
        return false;
    }
    thread_ = std::thread([this] { Run(); });
    return true;
}

void HttpFront::Stop() {
    if (thread_.joinable()) {
        stop_.Signal();
        thread_.join();
    }
    unfinished_.clear();
}

void HttpFront::Run() {
    for (;;) {
        if (acceptPausedUntil_ && Clock::now() >= *acceptPausedUntil_) {
            acceptPausedUntil_.reset();
            poll_.Add(listening_, kListeningKey);
        }
        for (const std::uint64_t key : poll_.Wait(MsToNextDeadline())) {
            if (key == kStopKey) {
                return;
            }
            if (key == kListeningKey) {
                AcceptAll();
            } else {
                ReadFrom(key);
            }
        }
        EndOverdue();
    }
}

int HttpFront::MsToNextDeadline() const {
    const auto now = Clock::now();
    auto next = now + kLongestWait;
    for (const auto& [key, unfinished] : unfinished_) {
        next = std::min(next, unfinished.deadline);
    }
    if (acceptPausedUntil_) {
        next = std::min(next, *acceptPausedUntil_);
    }
    const auto ms = std::chrono::ceil<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::max<long long>(ms, 0));
}

void HttpFront::AcceptAll() {
    for (int taken = 0; taken < kAcceptsPerWake; ++taken) {
        AcceptedConnection accepted = AcceptWaiting(listening_);
        if (!accepted.fd.Valid()) {
            if (accepted.outOfDescriptors && !unfinished_.empty()) {
                Close(unfinished_.begin());  // frees a descriptor for the newer one
                continue;
            }
            if (accepted.outOfDescriptors) {
                poll_.Remove(listening_);
                acceptPausedUntil_ = Clock::now() + kAcceptPause;
            }
            return;
        }
        if (unfinished_.size() >= limits_.unfinished) {
            Close(unfinished_.begin());
        }
        auto connection = std::make_unique<ConnectedSocket>(std::move(accepted.fd));
        const std::uint64_t key = nextKey_++;
        if (poll_.Add(connection->Fd(), key)) {
            unfinished_.emplace(key,
                                Unfinished{std::move(connection), IncomingRequest(limits_.request),
                                           Clock::now() + limits_.deadline});
        }
    }
}

void HttpFront::ReadFrom(std::uint64_t key) {
    const auto entry = unfinished_.find(key);
    if (entry == unfinished_.end()) {
        return;  // closed earlier in this wake
    }
    Unfinished& unfinished = entry->second;
    char buffer[kReadSize];
    const ConnectedSocket::ReadOutcome read = unfinished.connection->ReadSome(buffer, kReadSize);
    if (read.kind == ConnectedSocket::Read::Nothing) {
        return;
    }
    if (read.kind == ConnectedSocket::Read::Ended) {
        Close(entry);
        return;
    }
    if (unfinished.answered) {
        unfinished.dropped += read.bytes;
        if (unfinished.dropped > kMostDroppedAfterRefusal) {
            Close(entry);
        }
        return;
    }
    const IncomingRequest::State state = unfinished.request.Take({buffer, read.bytes});
    if (unfinished.request.TakeContinueDue()) {
        unfinished.connection->SendNow(kContinue);
    }
    if (state == IncomingRequest::State::Whole) {
        HandOn(entry);
    } else if (state == IncomingRequest::State::Refused) {
        Refuse(unfinished, unfinished.request.RefusalStatus());
    }
}

void HttpFront::HandOn(std::map<std::uint64_t, Unfinished>::iterator entry) {
    poll_.Remove(entry->second.connection->Fd());
    const std::string target(entry->second.request.Target());
    HandedRequest handed{std::move(entry->second.connection),
                         entry->second.request.ForwardedHead()};
    unfinished_.erase(entry);
    if (std::optional<HandedRequest> back = route_(std::move(handed), target)) {
        // Read whole: closing now loses nothing the client sent.
        back->connection->SendNow(refusal_(503));
    }
}

void HttpFront::Refuse(Unfinished& unfinished, int status) {
    unfinished.connection->SendNow(refusal_(status));
    unfinished.connection->EndWrites();
    unfinished.answered = true;
    unfinished.deadline = Clock::now() + kLingerAfterRefusal;
}

void HttpFront::Close(std::map<std::uint64_t, Unfinished>::iterator entry) {
    poll_.Remove(entry->second.connection->Fd());
    unfinished_.erase(entry);
}

void HttpFront::EndOverdue() {
    const auto now = Clock::now();
    for (auto entry = unfinished_.begin(); entry != unfinished_.end();) {
        const auto next = std::next(entry);
        if (entry->second.deadline <= now) {
            if (entry->second.answered) {
                Close(entry);
            } else {
                Refuse(entry->second, 408);
            }
        }
        entry = next;
    }
}

}  // namespace orvalt
