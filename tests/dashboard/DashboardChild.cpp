#include "DashboardChild.h"

#include <fcntl.h>

#include <chrono>
#include <csignal>
#include <thread>

#include "platform/UniqueFd.h"

namespace orvalt::test {

DashboardChild::~DashboardChild() {
    Stop();
}

int DashboardChild::Start(const std::vector<std::string>& args) {
    Stop();
    ended_.reset();
    std::vector<std::string> words{ORVALT_DASHBOARD_PATH};
    words.insert(words.end(), args.begin(), args.end());
    const UniqueFd errFd(::open(errPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644));
    const UniqueFd outFd(::open("/dev/null", O_WRONLY));
    pid_ = StartProgram(ProgramLaunch{words, {}, outFd.Get(), errFd.Get(), {}});
    const std::string serving = "orvalt-dashboard: serving ";
    for (int wait = 0; wait < 600; ++wait) {
        const std::string err = Log();
        const std::size_t line = err.find(serving);
        const std::size_t port = err.find("http://127.0.0.1:", line);
        if (line != std::string::npos && port != std::string::npos &&
            err.find('\n', port) != std::string::npos) {
            return std::stoi(err.substr(port + 17));
        }
        if ((ended_ = ProgramEnded(pid_, false))) {
            pid_ = -1;
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return 0;
}

ProgramEnd DashboardChild::Stop(std::chrono::milliseconds patience) {
    if (pid_ <= 0) {
        return ended_.value_or(ProgramEnd{});
    }
    ::kill(pid_, SIGTERM);
    ended_ = ProgramEndedWithin(pid_, patience);
    pid_ = -1;
    return *ended_;
}

}  // namespace orvalt::test
