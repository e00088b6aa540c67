#pragma once

#include <httplib.h>

#include <array>
#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>

namespace keystead::host {

// Bounds on what one client may cost a server thread.
struct StreamLimits {
  std::size_t maxRequestBytes = 0;                 // request line, headers and body together
  std::chrono::milliseconds readWait{0};           // longest silence while a request arrives
  std::chrono::milliseconds requestReadTime{0};    // the whole request must arrive within this
  std::chrono::milliseconds responseWriteTime{0};  // the client must take the answer within this
};

// A connection's socket as cpp-httplib reads and writes it, with limits that
// the library itself does not apply: a byte budget per request (so that
// endless header lines or chunked bodies cannot grow memory) and deadlines for
// receiving a request and for sending its answer (so that a slow client cannot
// hold a thread). Reads are buffered, as the library reads requests byte by
// byte. Used by one thread at a time; does not own the socket.
class LimitedSocketStream final : public httplib::Stream {
 public:
  LimitedSocketStream(::socket_t socket, const StreamLimits& limits);

  // Waits up to `idle` for the next request's first byte, giving up early once
  // `keepWaiting` turns false. True when a request is there to read.
  bool WaitForRequest(std::chrono::milliseconds idle, const std::function<bool()>& keepWaiting);
  // Starts the budget and the deadlines of the next request.
  void BeginRequest();
  // True once a limit cut the current request short: the connection must close.
  bool LimitReached() const { return limitReached_; }

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  ::socket_t socket() const override { return socket_; }

 private:
  using Clock = std::chrono::steady_clock;

  bool Buffered() const { return begin_ < end_; }
  // Time left before `deadline`, capped at `wait`; zero or less once passed.
  static std::chrono::milliseconds Remaining(Clock::time_point deadline,
                                             std::chrono::milliseconds wait);
  bool FillBuffer();

  const ::socket_t socket_;
  const StreamLimits limits_;
  std::array<char, 4096> buffer_{};
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  std::size_t requestBytes_ = 0;
  Clock::time_point readDeadline_;
  std::optional<Clock::time_point> writeDeadline_;
  bool limitReached_ = false;
};

}  // namespace keystead::host
