#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plugin/entry/KeysteadPlugin.h"

namespace keystead::host {

// What the plug-in tells its host through HostCallbacks: the served paths it
// announces, the "NAME/value" registrations ("KS_STATUS", "KS_CSP_DOMAIN_SUFIX")
// and the RATs it asks the host to revoke. Each is printed; paths and
// registrations are recorded too (a few per Initialize), revoked RATs not:
// they are credentials, and a page revoking one per request would grow the
// record without end.
// Thread-safe: the plug-in calls back from request and engine threads.
class HostRegistrations {
 public:
  // Told the value of every "KS_CSP_DOMAIN_SUFIX" registration, on the
  // plug-in's calling thread, outside the internal lock.
  using DomainSuffixListener = std::function<void(const std::string& suffix)>;

  HostRegistrations() = default;
  HostRegistrations(const HostRegistrations&) = delete;
  HostRegistrations& operator=(const HostRegistrations&) = delete;

  // Set before Initialize; not thread-safe against the callbacks.
  void SetDomainSuffixListener(DomainSuffixListener listener);

  // The record to give Initialize, with this object as the host context. This
  // object must outlive the plug-in's use of the callbacks (until Finalize).
  HostCallbacks Callbacks() const;
  void* Context() { return this; }

  std::vector<std::string> AnnouncedPaths() const;
  // The value of the latest registration named `name`, if any.
  std::optional<std::string> Registration(std::string_view name) const;

 private:
  static void RegisterPath(void* hostContext, const char* text);
  static bool RevokeRat(void* hostContext, const char* encodedRat);
  static void DeviceAuthenticated(const char* first, const char* second);

  void Record(std::string text);
  static bool Revoke(const std::string& encodedRat);

  DomainSuffixListener domainSuffixListener_;
  mutable std::mutex mutex_;  // guards the two records below
  std::vector<std::string> paths_;
  std::vector<std::pair<std::string, std::string>> registrations_;
};

}  // namespace keystead::host
