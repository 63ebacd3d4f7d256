#pragma once
// The dashboard as one object, the one place its parts are wired: the feed
// that follows the records on a connection of its own, a few read-only
// connections lent to the pages, the pages, and the HTTP server with its
// routes, its threads and every open page's event stream. Stop ends all of
// them and joins every thread.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <thread>

#include "dashboard/ChangeFeed.h"
#include "dashboard/DashboardLog.h"
#include "dashboard/DashboardPages.h"
#include "dashboard/HttpServer.h"
#include "dashboard/ReadConnections.h"

namespace orvalt {

struct DashboardSettings {
    std::string database;  // as given: may hold a password, never shown
    std::string host = "127.0.0.1";
    int port = 8080;  // 0: any free port
    bool allowWriter = false;
    std::chrono::minutes notSeenAfter{10};
    std::size_t readConnections = 4;
    // Event streams open at once; each holds one of the server's threads.
    std::size_t streams = 64;
    // Threads beside the streams' for page loads.
    std::size_t pageThreads = 32;
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
    std::atomic<bool> listenEnded_{false};
    std::thread listening_;
};

}  // namespace orvalt
