#pragma once
// orvalt-dashboard run as a line PC runs it, in a child process: the port it
// took read from the line it writes once it serves, its standard error kept.

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "support/ChildProcess.h"
#include "support/TempFolder.h"

namespace orvalt::test {

class DashboardChild {
  public:
    DashboardChild() = default;
    // Stops it if it still runs.
    ~DashboardChild();
    DashboardChild(const DashboardChild&) = delete;
    DashboardChild& operator=(const DashboardChild&) = delete;

    // Starts the program with `args` (after stopping one started before) and
    // returns the port it serves on; 0 when it did not say it serves, and
    // Ended() tells how it ended when it did.
    int Start(const std::vector<std::string>& args);
    // SIGTERM, and how it ended (killed when it did not end within
    // `patience`).
    ProgramEnd Stop(std::chrono::milliseconds patience = std::chrono::seconds(20));

    pid_t Pid() const { return pid_; }
    const std::optional<ProgramEnd>& Ended() const { return ended_; }
    // What it wrote on its standard error since it started.
    std::string Log() const { return ReadBytes(errPath_); }

  private:
    TempFolder folder_;
    std::string errPath_ = (folder_ / "err.txt").string();
    pid_t pid_ = -1;
    std::optional<ProgramEnd> ended_;  // once it ended
};

}  // namespace orvalt::test
