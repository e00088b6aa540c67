// Plain calls on a connected Winsock socket. The caller's server has started
// Winsock (WSAStartup) before it owns any socket.
#include "os/stream_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

namespace keystead::os {
namespace {

SOCKET AsSocket(SocketHandle socket) { return static_cast<SOCKET>(socket); }

bool Invalid(SocketHandle socket) { return AsSocket(socket) == INVALID_SOCKET || socket < 0; }

SocketWait WaitFor(SocketHandle socket, short events, std::chrono::milliseconds timeout) {
  if (Invalid(socket)) return SocketWait::kError;
  WSAPOLLFD entry{};
  entry.fd = AsSocket(socket);
  entry.events = events;
  const int waitMs = timeout.count() < 0 ? 0 : static_cast<int>(timeout.count());
  const int ready = WSAPoll(&entry, 1, waitMs);
  if (ready < 0) return SocketWait::kError;
  if (ready == 0) return SocketWait::kTimeout;
  // A hang-up still lets the reader see the close (a 0-byte read); only an
  // invalid socket is an error here.
  if ((entry.revents & POLLNVAL) != 0) return SocketWait::kError;
  return SocketWait::kReady;
}

int ChunkSize(std::size_t size) { return size > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(size); }

SocketAddress ToAddress(const sockaddr_storage& address) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address.ss_family == AF_INET) {
    const auto& ipv4 = reinterpret_cast<const sockaddr_in&>(address);
    if (inet_ntop(AF_INET, &ipv4.sin_addr, text, sizeof text) == nullptr) return {};
    return SocketAddress{text, ntohs(ipv4.sin_port)};
  }
  if (address.ss_family == AF_INET6) {
    const auto& ipv6 = reinterpret_cast<const sockaddr_in6&>(address);
    if (inet_ntop(AF_INET6, &ipv6.sin6_addr, text, sizeof text) == nullptr) return {};
    return SocketAddress{text, ntohs(ipv6.sin6_port)};
  }
  return {};
}

}  // namespace

SocketWait WaitReadable(SocketHandle socket, std::chrono::milliseconds timeout) {
  return WaitFor(socket, POLLRDNORM, timeout);
}

SocketWait WaitWritable(SocketHandle socket, std::chrono::milliseconds timeout) {
  return WaitFor(socket, POLLWRNORM, timeout);
}

std::ptrdiff_t ReceiveSome(SocketHandle socket, char* buffer, std::size_t size) {
  const int received = recv(AsSocket(socket), buffer, ChunkSize(size), 0);
  return received == SOCKET_ERROR ? -1 : received;
}

std::ptrdiff_t SendSome(SocketHandle socket, const char* data, std::size_t size) {
  // Windows raises no signal for a closed peer; send reports the error.
  const int sent = send(AsSocket(socket), data, ChunkSize(size), 0);
  return sent == SOCKET_ERROR ? -1 : sent;
}

bool UseExclusiveAddress(SocketHandle socket) {
  // SO_REUSEADDR on Windows would let another process take the port over;
  // SO_EXCLUSIVEADDRUSE is the setting that refuses a second listener.
  const BOOL on = TRUE;
  return setsockopt(AsSocket(socket), SOL_SOCKET, SO_EXCLUSIVEADDRUSE,
                    reinterpret_cast<const char*>(&on), sizeof on) == 0;
}

void ShutdownAndCloseSocket(SocketHandle socket) {
  if (Invalid(socket)) return;
  shutdown(AsSocket(socket), SD_BOTH);
  closesocket(AsSocket(socket));
}

SocketAddress PeerAddress(SocketHandle socket) {
  sockaddr_storage address{};
  int length = sizeof address;
  if (getpeername(AsSocket(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return {};
  }
  return ToAddress(address);
}

SocketAddress LocalAddress(SocketHandle socket) {
  sockaddr_storage address{};
  int length = sizeof address;
  if (getsockname(AsSocket(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return {};
  }
  return ToAddress(address);
}

}  // namespace keystead::os
