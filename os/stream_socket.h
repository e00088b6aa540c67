#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace keystead::os {

// Plain calls on a connected stream socket that the caller already owns (for
// a server that reads and writes with limits of its own). The handle is the
// platform's socket value: a file descriptor here, a SOCKET on Windows. All
// calls are thread-safe in the sense of the underlying system calls and never
// raise a signal.
using SocketHandle = std::intptr_t;

enum class SocketWait { kReady, kTimeout, kError };

// Waits until data (or the peer's close) can be read, or until the time-out.
// kError for a broken or invalid socket.
SocketWait WaitReadable(SocketHandle socket, std::chrono::milliseconds timeout);
// Waits until at least one byte can be written, or until the time-out.
SocketWait WaitWritable(SocketHandle socket, std::chrono::milliseconds timeout);

// Reads up to `size` bytes without blocking longer than the data takes to
// arrive. Returns the count, 0 when the peer closed, -1 on error (a pending
// interruption is retried).
std::ptrdiff_t ReceiveSome(SocketHandle socket, char* buffer, std::size_t size);
// Writes up to `size` bytes; returns the count written or -1 on error (a
// closed peer is an error, never SIGPIPE).
std::ptrdiff_t SendSome(SocketHandle socket, const char* data, std::size_t size);

// Lets a restarted server bind its port again at once (no wait for old
// connections to time out) while a second listener on the same port still
// fails to bind. For a listening socket, before bind. False on failure.
bool UseExclusiveAddress(SocketHandle socket);

// Ends both directions and releases the handle. The handle is invalid after.
void ShutdownAndCloseSocket(SocketHandle socket);

// The numeric address of either end; ip empty and port -1 when unknown.
struct SocketAddress {
  std::string ip;
  int port = -1;
};
SocketAddress PeerAddress(SocketHandle socket);
SocketAddress LocalAddress(SocketHandle socket);

}  // namespace keystead::os
