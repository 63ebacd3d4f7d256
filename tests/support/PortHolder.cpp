#include "support/PortHolder.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <thread>

extern char** environ;

namespace orvalt::test {

namespace {

std::string CommandName(pid_t pid) {
    std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// The descriptor is opened between fork and exec, so once the child's name is
// `sleep` it holds the port.
void WaitUntilRunning(pid_t pid) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (CommandName(pid) != "sleep" && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace

PortHolder::PortHolder(const std::string& path) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 3, path.c_str(), O_RDWR | O_NOCTTY, 0);
    char sleepName[] = "sleep";
    char seconds[] = "600";
    char* argv[] = {sleepName, seconds, nullptr};
    if (posix_spawnp(&pid_, "sleep", &actions, nullptr, argv, environ) != 0) {
        pid_ = 0;
    }
    posix_spawn_file_actions_destroy(&actions);
    if (pid_ != 0) {
        WaitUntilRunning(pid_);
    }
}

PortHolder::~PortHolder() {
    End();
}

void PortHolder::End() {
    if (pid_ == 0) {
        return;
    }
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
    pid_ = 0;
}

}  // namespace orvalt::test
