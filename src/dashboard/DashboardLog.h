#pragma once
// The dashboard's messages on its standard error, one whole line each,
// whichever thread says them: the start line, the database going away and
// coming back, a page that failed.

#include <mutex>
#include <ostream>
#include <string>

namespace orvalt {

class DashboardLog {
  public:
    explicit DashboardLog(std::ostream& out) : out_(out) {}

    // "orvalt-dashboard: " and the line.
    void Say(const std::string& line);

  private:
    std::mutex mutex_;
    std::ostream& out_;
};

}  // namespace orvalt
