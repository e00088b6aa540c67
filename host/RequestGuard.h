#pragma once

#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace keystead::host {

// What the guard reads from a request.
struct RequestFacts {
  std::string_view method;
  std::vector<std::string_view> hosts;    // every Host header value
  std::vector<std::string_view> origins;  // every Origin header value
};

enum class GuardVerdict {
  kAllow,
  kForeignHost,    // Host is not this loopback listener: DNS rebinding or a stray client
  kForeignOrigin,  // a state-changing request sent by a page outside the allowlist
};

// The loopback door's checks, made before anything reaches the plug-in. A
// request must name this listener in exactly one Host header
// ("127.0.0.1:<port>", "localhost:<port>" or "[::1]:<port>"); a request whose
// method may change state (anything but GET, HEAD and OPTIONS) that carries an
// Origin must name an allowed origin: the plug-in's own web origins, the page
// served by this host, and the domain-suffix origin once the plug-in
// registers a suffix. A request without Origin is not from a browser page and
// passes. Thread-safe.
class RequestGuard {
 public:
  explicit RequestGuard(int port);

  // Adds the origin that a cloud domain suffix (".beta") names.
  void AllowDomainSuffix(std::string_view suffix);

  GuardVerdict Check(const RequestFacts& request) const;

  // The origin of the page this host serves.
  std::string PageOrigin() const;

 private:
  bool IsOwnHost(std::string_view host) const;
  bool IsAllowedOrigin(std::string_view origin) const;

  const int port_;
  mutable std::mutex mutex_;  // guards allowedOrigins_
  std::set<std::string, std::less<>> allowedOrigins_;
};

}  // namespace keystead::host
