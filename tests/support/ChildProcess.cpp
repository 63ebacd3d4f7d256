#include "support/ChildProcess.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

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

void ExecProgram(std::vector<std::string> words, const std::string& env) {
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    char* envp[] = {const_cast<char*>(env.c_str()), nullptr};
    ::execve(argv[0], argv.data(), envp);
    ::_exit(127);
}

}  // namespace orvalt::test
