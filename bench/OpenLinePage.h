#pragma once
// One open page of the line as a browser holds it, for the dashboard's load
// benchmark: its /events stream on a thread of its own, open the whole time,
// and, once told to load, the page whole and then its main part whenever the
// stream tells of a generation the page does not show yet, as the page's
// script does, each load timed to its last byte.

#include <fcntl.h>

#include <httplib.h>

#include <charconv>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

// A whole number at the start of `text`.
inline std::optional<std::uint64_t> Number(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end == text.data()) {
        return std::nullopt;
    }
    return value;
}

// Programs are started while the pages hold their sockets: none of them is
// to keep one open.
inline void CloseOnExec(int fd) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
}

struct PageLoad {
    bool whole = false;  // "/" rather than "/?part=main"
    bool ok = false;     // 200 with a body
    double ms = 0.0;
    std::size_t bytes = 0;
};

struct Heard {
    bool streamed = false;  // the stream was let open, and is open still
    std::uint64_t last = 0;
    long changes = 0;  // change events after the first
};

class OpenLinePage {
  public:
    using Clock = std::chrono::steady_clock;
    static constexpr int kMostLoads = 20000;

    explicit OpenLinePage(int port) : port_(port), stream_("127.0.0.1", port) {
        stream_.set_read_timeout(60, 0);  // the dashboard says something every 15 s
        stream_.set_socket_options(CloseOnExec);
        streaming_ = std::thread([this] { Listen(); });
    }

    ~OpenLinePage() {
        StopLoading();
        stream_.stop();
        streaming_.join();
    }

    OpenLinePage(const OpenLinePage&) = delete;
    OpenLinePage& operator=(const OpenLinePage&) = delete;

    // True once the stream told of `generation` or a later one (of any at
    // all, with nullopt); false when it ended or `within` passed first.
    bool WaitHeard(std::optional<std::uint64_t> generation, Clock::duration within) {
        std::unique_lock lock(mutex_);
        const auto reached = [&] { return heardAny_ && heard_.last >= generation.value_or(0); };
        changed_.wait_for(lock, within, [&] { return reached() || ended_; });
        return reached();
    }

    void StartLoading() {
        loading_ = std::thread([this] { LoadAsTheScriptDoes(); });
    }

    void StopLoading() {
        {
            const std::scoped_lock lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        if (loading_.joinable()) {
            loading_.join();
        }
    }

    // Once loading stopped.
    const std::vector<PageLoad>& Loads() const { return loads_; }

    Heard HeardSoFar() const {
        const std::scoped_lock lock(mutex_);
        Heard heard = heard_;
        heard.streamed = heard.streamed && !ended_;
        return heard;
    }

  private:
    void Listen() {
        std::string pending;
        stream_.Get(
            "/events",
            [this](const httplib::Response& response) {
                const std::scoped_lock lock(mutex_);
                heard_.streamed = response.status == 200;
                return heard_.streamed;
            },
            [&](const char* data, std::size_t size) {
                pending.append(data, size);
                for (auto end = pending.find("\n\n"); end != std::string::npos;
                     end = pending.find("\n\n")) {
                    Hear(std::string_view(pending).substr(0, end));
                    pending.erase(0, end + 2);
                }
                return true;
            });
        const std::scoped_lock lock(mutex_);
        ended_ = true;
        changed_.notify_all();
    }

    void Hear(std::string_view event) {
        constexpr std::string_view kChange = "event: change\ndata: ";
        if (!event.starts_with(kChange)) {
            return;  // the retry time, a keep-alive, the database's state
        }
        const auto generation = Number(event.substr(kChange.size()));
        if (!generation) {
            return;
        }
        {
            const std::scoped_lock lock(mutex_);
            heard_.changes += heardAny_ ? 1 : 0;
            heard_.last = *generation;
            heardAny_ = true;
        }
        changed_.notify_all();
    }

    // The page whole, then its main part on each generation it does not
    // show; a failed load waits for the next generation, as the script's
    // does.
    void LoadAsTheScriptDoes() {
        httplib::Client client("127.0.0.1", port_);
        client.set_socket_options(CloseOnExec);
        client.set_connection_timeout(10, 0);
        client.set_read_timeout(30, 0);
        std::uint64_t shown = Load(client, true).value_or(0);
        for (int load = 1; load < kMostLoads; ++load) {
            std::uint64_t asked = 0;
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return stopping_ || ended_ || heard_.last != shown; });
                if (stopping_ || ended_) {
                    return;
                }
                asked = heard_.last;
            }
            shown = Load(client, false).value_or(asked);
        }
    }

    // The generation the page shows once loaded; nullopt when it failed.
    std::optional<std::uint64_t> Load(httplib::Client& client, bool whole) {
        const auto start = Clock::now();
        const httplib::Result answer = client.Get(whole ? "/" : "/?part=main");
        const std::chrono::duration<double, std::milli> took = Clock::now() - start;
        PageLoad load{whole, answer && answer->status == 200 && !answer->body.empty(), took.count(),
                      answer ? answer->body.size() : 0};
        loads_.push_back(load);
        return load.ok ? Number(answer->get_header_value("X-Generation")) : std::nullopt;
    }

    const int port_;
    httplib::Client stream_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    Heard heard_;
    bool heardAny_ = false;
    bool ended_ = false;
    bool stopping_ = false;
    std::vector<PageLoad> loads_;  // the loading thread's until it is joined
    std::thread streaming_;
    std::thread loading_;
};
