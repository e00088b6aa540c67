// Plain calls on a connected Winsock socket. The caller's server has started
// Winsock (WSAStartup) before it owns any socket.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "os/stream_socket_platform.h"

namespace keystead::os {
namespace {

SOCKET AsSocket(SocketHandle socket) { return static_cast<SOCKET>(socket); }

bool Invalid(SocketHandle socket) { return AsSocket(socket) == INVALID_SOCKET || socket < 0; }

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

// The address of one end, by getpeername or getsockname.
SocketAddress AddressOf(SocketHandle socket, decltype(&getpeername) query) {
  sockaddr_storage address{};
  int length = sizeof address;
  if (query(AsSocket(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
  return ToAddress(address);
}

}  // namespace

SocketWait PollSocket(SocketHandle socket, SocketDirection direction, int waitMs) {
  if (Invalid(socket)) return SocketWait::kError;
  WSAPOLLFD entry{};
  entry.fd = AsSocket(socket);
  entry.events = direction == SocketDirection::kRead ? POLLRDNORM : POLLWRNORM;
  const int ready = WSAPoll(&entry, 1, waitMs);
  if (ready < 0) return SocketWait::kError;
  if (ready == 0) return SocketWait::kTimeout;
  // Only an invalid socket is an error; a hang-up is for the reader to see.
  return (entry.revents & POLLNVAL) != 0 ? SocketWait::kError : SocketWait::kReady;
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

SocketAddress PeerAddress(SocketHandle socket) { return AddressOf(socket, getpeername); }

SocketAddress LocalAddress(SocketHandle socket) { return AddressOf(socket, getsockname); }

}  // namespace keystead::os
