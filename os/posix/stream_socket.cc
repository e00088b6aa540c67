#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "os/stream_socket_platform.h"

namespace keystead::os {
namespace {

int Descriptor(SocketHandle socket) { return static_cast<int>(socket); }

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
  socklen_t length = sizeof address;
  if (query(Descriptor(socket), reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
  return ToAddress(address);
}

}  // namespace

SocketWait PollSocket(SocketHandle socket, SocketDirection direction, int waitMs) {
  if (socket < 0) return SocketWait::kError;
  const short events = direction == SocketDirection::kRead ? POLLIN : POLLOUT;
  pollfd entry{Descriptor(socket), events, 0};
  int ready = 0;
  do {
    ready = poll(&entry, 1, waitMs);
  } while (ready < 0 && errno == EINTR);
  if (ready < 0) return SocketWait::kError;
  if (ready == 0) return SocketWait::kTimeout;
  // Only an invalid descriptor is an error; a hang-up is for the reader to see.
  return (entry.revents & POLLNVAL) != 0 ? SocketWait::kError : SocketWait::kReady;
}

std::ptrdiff_t ReceiveSome(SocketHandle socket, char* buffer, std::size_t size) {
  ssize_t received = 0;
  do {
    received = recv(Descriptor(socket), buffer, size, 0);
  } while (received < 0 && errno == EINTR);
  return received;
}

std::ptrdiff_t SendSome(SocketHandle socket, const char* data, std::size_t size) {
  ssize_t sent = 0;
  do {
    sent = send(Descriptor(socket), data, size, MSG_NOSIGNAL);
  } while (sent < 0 && errno == EINTR);
  return sent;
}

bool UseExclusiveAddress(SocketHandle socket) {
  // SO_REUSEADDR alone: unlike SO_REUSEPORT it never lets two listeners share a port.
  const int on = 1;
  return setsockopt(Descriptor(socket), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0;
}

void ShutdownAndCloseSocket(SocketHandle socket) {
  if (socket < 0) return;
  shutdown(Descriptor(socket), SHUT_RDWR);
  close(Descriptor(socket));
}

SocketAddress PeerAddress(SocketHandle socket) { return AddressOf(socket, getpeername); }

SocketAddress LocalAddress(SocketHandle socket) { return AddressOf(socket, getsockname); }

}  // namespace keystead::os
