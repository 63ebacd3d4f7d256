#pragma once
// Runs a piece of a test in a forked child, for conditions that must not touch
// the test program itself: a file size limit, or a user without root's right
// to write anywhere.

#include <sys/resource.h>

#include <functional>
#include <string>
#include <vector>

namespace orvalt::test {

// Runs `body` in a child process and returns the text it produced, or a text
// starting "child failed" when the child did not end normally.
std::string RunInChild(const std::function<std::string()>& body);

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

// In a child: becomes the program words[0] with these arguments and the one
// environment entry `env` ("NAME=value"); exits 127 when it cannot.
[[noreturn]] void ExecProgram(std::vector<std::string> words, const std::string& env);

}  // namespace orvalt::test
