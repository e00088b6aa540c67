#include "host/LimitedSocketStream.h"

#include <algorithm>
#include <cstring>

#include "os/stream_socket.h"

namespace keystead::host {
namespace {

using std::chrono::milliseconds;

// How often an idle keep-alive wait looks whether the server is stopping.
constexpr milliseconds kIdleSlice{50};

}  // namespace

LimitedSocketStream::LimitedSocketStream(::socket_t socket, const StreamLimits& limits)
    : socket_(socket), limits_(limits) {
  BeginRequest();
}

bool LimitedSocketStream::WaitForRequest(milliseconds idle,
                                         const std::function<bool()>& keepWaiting) {
  if (Buffered()) return true;
  const Clock::time_point giveUp = Clock::now() + idle;
  while (keepWaiting()) {
    const milliseconds slice = Remaining(giveUp, kIdleSlice);
    if (slice.count() <= 0) return false;
    switch (os::WaitReadable(socket_, slice)) {
      case os::SocketWait::kReady:
        return true;
      case os::SocketWait::kError:
        return false;
      case os::SocketWait::kTimeout:
        break;
    }
  }
  return false;
}

void LimitedSocketStream::BeginRequest() {
  // Bytes already buffered belong to the request that begins now.
  requestBytes_ = end_ - begin_;
  readDeadline_ = Clock::now() + limits_.requestReadTime;
  writeDeadline_.reset();
  limitReached_ = false;
}

bool LimitedSocketStream::is_readable() const {
  if (Buffered()) return true;
  const milliseconds wait = Remaining(readDeadline_, limits_.readWait);
  return wait.count() > 0 && os::WaitReadable(socket_, wait) == os::SocketWait::kReady;
}

bool LimitedSocketStream::is_writable() const {
  const Clock::time_point deadline =
      writeDeadline_.value_or(Clock::now() + limits_.responseWriteTime);
  const milliseconds wait = Remaining(deadline, limits_.responseWriteTime);
  return wait.count() > 0 && os::WaitWritable(socket_, wait) == os::SocketWait::kReady;
}

ssize_t LimitedSocketStream::read(char* ptr, size_t size) {
  if (!Buffered() && !FillBuffer()) return -1;
  const std::size_t count = std::min(size, end_ - begin_);
  std::memcpy(ptr, buffer_.data() + begin_, count);
  begin_ += count;
  return static_cast<ssize_t>(count);
}

ssize_t LimitedSocketStream::write(const char* ptr, size_t size) {
  if (!writeDeadline_) writeDeadline_ = Clock::now() + limits_.responseWriteTime;
  if (!is_writable()) {
    limitReached_ = true;
    return -1;
  }
  return os::SendSome(socket_, ptr, size);
}

void LimitedSocketStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  const os::SocketAddress address = os::PeerAddress(socket_);
  ip = address.ip;
  port = address.port;
}

void LimitedSocketStream::get_local_ip_and_port(std::string& ip, int& port) const {
  const os::SocketAddress address = os::LocalAddress(socket_);
  ip = address.ip;
  port = address.port;
}

milliseconds LimitedSocketStream::Remaining(Clock::time_point deadline, milliseconds wait) {
  const auto left = std::chrono::ceil<milliseconds>(deadline - Clock::now());
  return std::min(left, wait);
}

bool LimitedSocketStream::FillBuffer() {
  if (requestBytes_ >= limits_.maxRequestBytes || !is_readable()) {
    // Out of budget, or silent past a deadline. A plain quiet peer between
    // two requests never gets here: WaitForRequest covers that time.
    limitReached_ = true;
    return false;
  }
  const std::size_t room = std::min(buffer_.size(), limits_.maxRequestBytes - requestBytes_);
  const std::ptrdiff_t received = os::ReceiveSome(socket_, buffer_.data(), room);
  if (received <= 0) return false;
  begin_ = 0;
  end_ = static_cast<std::size_t>(received);
  requestBytes_ += end_;
  return true;
}

}  // namespace keystead::host
