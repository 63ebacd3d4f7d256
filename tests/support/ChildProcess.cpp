#include "support/ChildProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <thread>

#include "platform/UniqueFd.h"
#include "support/TempFolder.h"

namespace orvalt::test {

namespace {

void WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t count = ::write(fd, text.data() + done, text.size() - done);
        if (count <= 0) {
            return;
        }
        done += static_cast<std::size_t>(count);
    }
}

std::string ReadAll(int fd) {
    std::string text;
    char buffer[4096];
    ssize_t count = 0;
    while ((count = ::read(fd, buffer, sizeof buffer)) > 0) {
        text.append(buffer, static_cast<std::size_t>(count));
    }
    return text;
}

}  // namespace

std::string RunInChild(const std::function<std::string()>& body) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return "child failed: no pipe";
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        WriteAll(pipeFds[1], body());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    const std::string text = ReadAll(pipeFds[0]);
    ::close(pipeFds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (pid < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return "child failed: " + text;
    }
    return text;
}

std::vector<std::string> RunChildrenTogether(int count,
                                             const std::function<std::string(int)>& body) {
    int go[2];
    if (::pipe(go) != 0) {
        return std::vector<std::string>(static_cast<std::size_t>(count), "child failed: no pipe");
    }
    std::vector<std::pair<pid_t, int>> children;
    for (int i = 0; i < count; ++i) {
        int out[2];
        if (::pipe(out) != 0) {
            break;
        }
        const pid_t pid = ::fork();
        if (pid == 0) {
            ::close(go[1]);
            ::close(out[0]);
            char none = 0;
            [[maybe_unused]] const ssize_t released = ::read(go[0], &none, 1);  // EOF: go
            WriteAll(out[1], body(i));
            ::_exit(0);
        }
        ::close(out[1]);
        children.emplace_back(pid, out[0]);
    }
    ::close(go[0]);
    ::close(go[1]);  // every child's read ends now
    std::vector<std::string> texts;
    for (const auto& [pid, fd] : children) {
        std::string text = ReadAll(fd);
        ::close(fd);
        int status = 0;
        ::waitpid(pid, &status, 0);
        const bool failed = pid < 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0;
        texts.push_back(failed ? "child failed: " + text : text);
    }
    texts.resize(static_cast<std::size_t>(count), "child failed: not started");
    return texts;
}

void LimitFileSize(long bytes) {
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::FileSizeLimit(long bytes) {
    ::getrlimit(RLIMIT_FSIZE, &old_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    LimitFileSize(bytes);
}

FileSizeLimit::~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &old_);
    std::signal(SIGXFSZ, oldHandler_);
}

void DropRoot() {
    if (::geteuid() == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            ::_exit(2);
        }
    }
}

void BecomeUser(uid_t uid, gid_t gid) {
    if (::setgroups(0, nullptr) != 0 || ::setresgid(gid, gid, gid) != 0 ||
        ::setresuid(uid, uid, uid) != 0) {
        ::_exit(2);
    }
}

namespace {

[[noreturn]] void ExecProgram(const ProgramLaunch& launch) {
    for (const int signal : {SIGPIPE, SIGXFSZ, SIGHUP, SIGINT, SIGTERM}) {
        std::signal(signal, SIG_DFL);
    }
    if (launch.inChild) {
        launch.inChild();
    }
    ::dup2(launch.outFd, STDOUT_FILENO);
    ::dup2(launch.errFd, STDERR_FILENO);
    std::vector<std::string> words = launch.words;
    std::vector<std::string> environment = launch.environment;
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& entry : environment) {
        envp.push_back(entry.data());
    }
    envp.push_back(nullptr);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
}

}  // namespace

pid_t StartProgram(const ProgramLaunch& launch) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        ExecProgram(launch);
    }
    return pid;
}

std::optional<ProgramEnd> ProgramEnded(pid_t pid, bool wait) {
    int status = 0;
    rusage usage{};
    if (::wait4(pid, &status, wait ? 0 : WNOHANG, &usage) != pid) {
        return std::nullopt;
    }
    ProgramEnd end;
    end.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    end.signal = WIFEXITED(status) ? 0 : WTERMSIG(status);
    end.peakResidentKb = usage.ru_maxrss;
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    end.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    end.contextSwitches = usage.ru_nvcsw + usage.ru_nivcsw;
    return end;
}

ProgramEnd ProgramEndedWithin(pid_t pid, std::chrono::milliseconds patience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    do {
        if (std::optional<ProgramEnd> end = ProgramEnded(pid, false)) {
            return *end;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    } while (std::chrono::steady_clock::now() < deadline);
    ::kill(pid, SIGKILL);
    return ProgramEnded(pid).value_or(ProgramEnd{});
}

std::size_t CountOf(const std::string& text, const std::string& part) {
    std::size_t count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

ProgramSaid RunProgram(ProgramLaunch launch, std::chrono::milliseconds patience) {
    const TempFolder said;
    const auto open = [](const std::filesystem::path& file) {
        return UniqueFd(::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    };
    const UniqueFd out = open(said / "out"), err = open(said / "err");
    launch.outFd = out.Get();
    launch.errFd = err.Get();
    const ProgramEnd end = ProgramEndedWithin(StartProgram(launch), patience);
    return {end, ReadBytes(said / "out"), ReadBytes(said / "err")};
}

}  // namespace orvalt::test
