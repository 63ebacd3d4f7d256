#include "dashboard/AnsweringStream.h"

#include <algorithm>
#include <cstring>

namespace orvalt {

AnsweringStream::AnsweringStream(ConnectedSocket& connection, std::string head, WriteLimits limits)
    : connection_(connection), head_(std::move(head)), limits_(limits) {
    if (limits_.whole) {
        deadline_ = std::chrono::steady_clock::now() + *limits_.whole;
    }
}

bool AnsweringStream::is_writable() const {
    return connection_.WaitWritable(limits_.stall);
}

ssize_t AnsweringStream::read(char* ptr, size_t size) {
    const std::size_t count = std::min(size, head_.size() - read_);
    std::memcpy(ptr, head_.data() + read_, count);
    read_ += count;
    return static_cast<ssize_t>(count);
}

ssize_t AnsweringStream::write(const char* ptr, size_t size) {
    return connection_.SendAll({ptr, size}, limits_.stall, deadline_) ? static_cast<ssize_t>(size)
                                                                      : -1;
}

void AnsweringStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    const ConnectedSocket::Address peer = connection_.Peer();
    ip = peer.ip;
    port = peer.port;
}

void AnsweringStream::get_local_ip_and_port(std::string& ip, int& port) const {
    const ConnectedSocket::Address local = connection_.Local();
    ip = local.ip;
    port = local.port;
}

}  // namespace orvalt
