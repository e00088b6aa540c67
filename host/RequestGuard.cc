#include "host/RequestGuard.h"

#include <algorithm>
#include <array>

#include "os/ascii_text.h"
#include "plugin/common/AllowedOrigins.h"

namespace keystead::host {
namespace {

constexpr std::array<std::string_view, 3> kLoopbackNames = {"127.0.0.1", "localhost", "[::1]"};

bool ChangesState(std::string_view method) {
  return method != "GET" && method != "HEAD" && method != "OPTIONS";
}

}  // namespace

RequestGuard::RequestGuard(int port) : port_(port) {
  for (const std::string& origin : corvane::larchmere::plugin::common::AllowedOrigins("")) {
    allowedOrigins_.insert(origin);
  }
  for (std::string_view name : kLoopbackNames) {
    allowedOrigins_.insert("http://" + std::string(name) + ":" + std::to_string(port_));
  }
}

void RequestGuard::AllowDomainSuffix(std::string_view suffix) {
  std::scoped_lock lock(mutex_);
  for (const std::string& origin : corvane::larchmere::plugin::common::AllowedOrigins(suffix)) {
    allowedOrigins_.insert(origin);
  }
}

GuardVerdict RequestGuard::Check(const RequestFacts& request) const {
  if (request.hosts.size() != 1 || !IsOwnHost(request.hosts.front())) {
    return GuardVerdict::kForeignHost;
  }
  if (ChangesState(request.method)) {
    const bool allOriginsAllowed =
        std::all_of(request.origins.begin(), request.origins.end(),
                    [this](std::string_view origin) { return IsAllowedOrigin(origin); });
    // Several Origin headers cannot come from a browser; refuse rather than guess.
    if (!allOriginsAllowed || request.origins.size() > 1) return GuardVerdict::kForeignOrigin;
  }
  return GuardVerdict::kAllow;
}

std::string RequestGuard::PageOrigin() const { return "http://127.0.0.1:" + std::to_string(port_); }

bool RequestGuard::IsOwnHost(std::string_view host) const {
  const std::string portSuffix = ":" + std::to_string(port_);
  if (host.size() <= portSuffix.size() || !host.ends_with(portSuffix)) return false;
  const std::string_view name = host.substr(0, host.size() - portSuffix.size());
  return std::any_of(kLoopbackNames.begin(), kLoopbackNames.end(),
                     [name](std::string_view own) { return os::EqualsIgnoringCase(name, own); });
}

bool RequestGuard::IsAllowedOrigin(std::string_view origin) const {
  // Origins are compared exactly: browsers send them in lower case, without a
  // path and without a default port, so any variation is not one of ours.
  std::scoped_lock lock(mutex_);
  return allowedOrigins_.find(origin) != allowedOrigins_.end();
}

}  // namespace keystead::host
