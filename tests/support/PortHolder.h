#pragma once
// Another program holding a port the way a terminal program does: a plain
// open(), with neither flock nor TIOCEXCL. It is `sleep` with the port as its
// descriptor 3, so that /proc shows it under a name of its own.

#include <sys/types.h>

#include <string>

namespace orvalt::test {

class PortHolder {
  public:
    // Starts the holder and waits until it runs with the port open.
    explicit PortHolder(const std::string& path);
    // Ends it (it is our own child) and reaps it.
    ~PortHolder();
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;

    // 0 when it could not be started.
    pid_t Pid() const { return pid_; }
    void End();

  private:
    pid_t pid_ = 0;
};

}  // namespace orvalt::test
