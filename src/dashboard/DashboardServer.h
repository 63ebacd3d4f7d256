#pragma once
// The dashboard as one object, the one place its parts are wired: the feed
// that follows the records on a connection of its own, a few read-only
// connections lent to the pages, the pages, and the HTTP server: its front,
// which reads every request whole, its routes, and its threads, in budgets
// of their own for the event streams, the light pages and the heavy ones.
// Stop ends all of them and joins every thread.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "dashboard/ChangeFeed.h"
#include "dashboard/DashboardLog.h"
#include "dashboard/DashboardPages.h"
#include "dashboard/HttpFront.h"
#include "dashboard/HttpServer.h"
#include "dashboard/ReadConnections.h"
#include "dashboard/RequestWorkers.h"

namespace orvalt {

struct DashboardSettings {
    std::string database;  // as given: may hold a password, never shown
    std::string host = "127.0.0.1";
    int port = 8080;  // 0: any free port
    bool allowWriter = false;
    std::chrono::minutes notSeenAfter{10};
    std::size_t readConnections = 4;
    // Event streams open at once; each holds one of the streams' threads.
    std::size_t streams = 64;
    // Threads for the light pages: the line, a unit, the health, the script.
    std::size_t pageThreads = 32;
    // Threads for the heavy pages (a model's charts, the models, a run's
    // report): fewer than the read connections, so that a light page always
    // finds one.
    std::size_t heavyThreads = 2;
    // How a request must arrive, and how many may be arriving at once.
    FrontLimits front;
    // How often the line's change mark is read; the line itself is read at
    // most every second poll.
    std::chrono::milliseconds poll{500};
    std::chrono::milliseconds keepAlive{std::chrono::seconds(15)};
    AlarmJudging alarmJudging;
};

class DashboardServer {
  public:
    DashboardServer(DashboardSettings settings, DashboardLog& log);
    ~DashboardServer();
    DashboardServer(const DashboardServer&) = delete;
    DashboardServer& operator=(const DashboardServer&) = delete;

    // Reads the records once, checks the login, listens and says so on the
    // log with the port: 0, or the exit status it can't serve with, having
    // said why.
    int Start();
    // The port it listens on, once started.
    int Port() const { return port_; }
    // Ends the streams, the server and the feed; idempotent.
    void Stop();

  private:
    // Says why, and gives the exit status for it.
    int Unreadable(const std::string& why);
    int Listen();
    void StartWorkers();
    std::optional<HandedRequest> Route(HandedRequest request, std::string_view target);
    std::string Refusal(int status) const;
    void AddRoutes();
    void Answer(httplib::Response& response, const PageAnswer& answer) const;
    void ServeEvents(const httplib::Request& request, httplib::Response& response);

    DashboardSettings settings_;
    std::string shown_;
    DashboardLog& log_;
    ReadConnections connections_;
    ChangeFeed feed_;
    DashboardPages pages_;
    std::atomic<std::size_t> openStreams_{0};
    HttpServer http_;
    int port_ = 0;
    std::unique_ptr<RequestWorkers> streamWorkers_;
    std::unique_ptr<RequestWorkers> lightWorkers_;
    std::unique_ptr<RequestWorkers> heavyWorkers_;
    std::unique_ptr<HttpFront> front_;
};

}  // namespace orvalt
