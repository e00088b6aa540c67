// What the socket waits do on every platform: a negative time-out is no wait.
#include "os/stream_socket.h"

#include "os/stream_socket_platform.h"

namespace keystead::os {
namespace {

SocketWait WaitFor(SocketHandle socket, SocketDirection direction,
                   std::chrono::milliseconds timeout) {
  const int waitMs = timeout.count() < 0 ? 0 : static_cast<int>(timeout.count());
  return PollSocket(socket, direction, waitMs);
}

}  // namespace

SocketWait WaitReadable(SocketHandle socket, std::chrono::milliseconds timeout) {
  return WaitFor(socket, SocketDirection::kRead, timeout);
}

SocketWait WaitWritable(SocketHandle socket, std::chrono::milliseconds timeout) {
  return WaitFor(socket, SocketDirection::kWrite, timeout);
}

}  // namespace keystead::os
