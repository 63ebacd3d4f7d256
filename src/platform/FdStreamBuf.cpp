#include "platform/FdStreamBuf.h"

#include <unistd.h>

#include <cerrno>

namespace orvalt {

FdStreamBuf::FdStreamBuf(int fd, std::function<void(int error)> onFailure)
    : fd_(fd), onFailure_(std::move(onFailure)) {
    setp(buffer_.data(), buffer_.data() + buffer_.size());
}

FdStreamBuf::~FdStreamBuf() {
    WriteBuffered();
}

void FdStreamBuf::Fail(int error) {
    error_ = error;
    if (onFailure_) {
        onFailure_(error);
    }
}

bool FdStreamBuf::WriteBuffered() {
    const char* next = pbase();
    while (!error_ && next < pptr()) {
        const ssize_t count = ::write(fd_, next, static_cast<std::size_t>(pptr() - next));
        if (count > 0) {
            next += count;
        } else if (count == 0 || errno != EINTR) {
            Fail(count == 0 ? EIO : errno);
        }
    }
    setp(buffer_.data(), buffer_.data() + buffer_.size());
    return !error_;
}

FdStreamBuf::int_type FdStreamBuf::overflow(int_type c) {
    if (!WriteBuffered()) {
        return traits_type::eof();
    }
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
    }
    return traits_type::not_eof(c);
}

int FdStreamBuf::sync() {
    return WriteBuffered() ? 0 : -1;
}

}  // namespace orvalt
