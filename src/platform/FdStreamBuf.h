#pragma once
// A stream buffer over a file descriptor (the runner's standard output) that
// lets the runner write each line out as it happens: its sync writes what is
// buffered, in full. A write that fails is remembered, reported once through
// `onFailure`, and from then on nothing more is written to that descriptor
// (the stream goes bad), while the program goes on.

#include <array>
#include <functional>
#include <optional>
#include <streambuf>

namespace orvalt {

// The process's standard output, as a descriptor.
inline constexpr int kStandardOutputFd = 1;

class FdStreamBuf : public std::streambuf {
  public:
    FdStreamBuf(int fd, std::function<void(int error)> onFailure);
    ~FdStreamBuf() override;
    FdStreamBuf(const FdStreamBuf&) = delete;
    FdStreamBuf& operator=(const FdStreamBuf&) = delete;

    // The errno of the first failed write, if one failed.
    std::optional<int> Error() const { return error_; }

  protected:
    int_type overflow(int_type c) override;
    int sync() override;

  private:
    bool WriteBuffered();
    void Fail(int error);

    int fd_;
    std::function<void(int)> onFailure_;
    std::optional<int> error_;
    std::array<char, 1 << 16> buffer_{};
};

}  // namespace orvalt
