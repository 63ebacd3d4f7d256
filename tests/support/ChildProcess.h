#pragma once
// Runs a piece of a test in a forked child, for conditions that must not touch
// the test program itself: a file size limit, or a user without root's right
// to write anywhere.

#include <sys/resource.h>
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace orvalt::test {

// Runs `body` in a child process and returns the text it produced, or a text
// starting "child failed" when the child did not end normally.
std::string RunInChild(const std::function<std::string()>& body);

// Runs `count` children at once, each `body(i)` released only when all of
// them have started, so that they meet the same moment; their texts by i
// (as RunInChild's).
std::vector<std::string> RunChildrenTogether(int count,
                                             const std::function<std::string(int)>& body);

// Files larger than `bytes` can't be written, as on a full disk (writes past
// the limit fail with EFBIG; the signal that comes with it is ignored). Root is
// bound too. Meant for a child; FileSizeLimit undoes it.
void LimitFileSize(long bytes);

// LimitFileSize while it lives, in this process.
class FileSizeLimit {
  public:
    explicit FileSizeLimit(long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

  private:
    rlimit old_{};
    void (*oldHandler_)(int) = nullptr;
};

// In a child: give up root, so that folder and file permissions apply.
void DropRoot();

// In a child: become the user `uid` of group `gid` and no other group, as
// another account of the machine would be (no account need exist for it).
// Meant for a child of a test that runs as root.
void BecomeUser(uid_t uid, gid_t gid);

// A program to start as a shell would: its words (the program's path first),
// its whole environment, where its standard output and error go (descriptors
// of the caller, which keeps and closes them), and what else the child does
// before the program starts. Its signals are at their defaults, whatever the
// test program did with its own.
struct ProgramLaunch {
    std::vector<std::string> words;
    std::vector<std::string> environment;
    int outFd = -1;
    int errFd = -1;
    std::function<void()> inChild;
};

// Starts it; the child exits 127 when the program cannot start.
pid_t StartProgram(const ProgramLaunch& launch);

struct ProgramEnd {
    int exitStatus = -1;  // -1 when a signal ended it
    int signal = 0;
    // The most memory it held at once (with what the forked copy of the
    // caller held before the program replaced it).
    long peakResidentKb = 0;
    double cpuSeconds = 0.0;   // user and system
    long contextSwitches = 0;  // voluntary and involuntary
};

// Waits for it to end, or only looks (`wait` false: nullopt while it runs).
std::optional<ProgramEnd> ProgramEnded(pid_t pid, bool wait = true);

// Waits up to `patience` for it to end, then kills it (SIGKILL) and waits for
// that: a program that hangs fails its test rather than holding it forever.
ProgramEnd ProgramEndedWithin(pid_t pid, std::chrono::milliseconds patience);

struct ProgramSaid {
    ProgramEnd end;
    std::string out, err;
};

// Runs it to its end as ProgramEndedWithin does, with its standard output and
// error kept (the launch's own outFd and errFd are not used).
ProgramSaid RunProgram(ProgramLaunch launch, std::chrono::milliseconds patience);

// How often `part` occurs in `text` (a message said once, a redraw...).
std::size_t CountOf(const std::string& text, const std::string& part);

}  // namespace orvalt::test
