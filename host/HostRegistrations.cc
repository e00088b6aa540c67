#include "host/HostRegistrations.h"

#include <algorithm>
#include <array>
#include <utility>

#include "host/Console.h"

namespace keystead::host {
namespace {

constexpr std::string_view kDomainSuffixName = "KS_CSP_DOMAIN_SUFIX";
constexpr std::array<std::string_view, 2> kRegistrationNames = {"KS_STATUS", kDomainSuffixName};

// "NAME/value" for a known registration name; paths ("q/v1/...") are not.
std::optional<std::pair<std::string, std::string>> SplitRegistration(const std::string& text) {
  for (std::string_view name : kRegistrationNames) {
    if (text.size() > name.size() && text.compare(0, name.size(), name) == 0 &&
        text[name.size()] == '/') {
      return std::make_pair(std::string(name), text.substr(name.size() + 1));
    }
  }
  return std::nullopt;
}

std::string TextOrEmpty(const char* text) { return text == nullptr ? std::string() : text; }

}  // namespace

void HostRegistrations::SetDomainSuffixListener(DomainSuffixListener listener) {
  domainSuffixListener_ = std::move(listener);
}

HostCallbacks HostRegistrations::Callbacks() const {
  HostCallbacks callbacks{};
  callbacks.registerPath = &HostRegistrations::RegisterPath;
  callbacks.revokeRat = &HostRegistrations::RevokeRat;
  callbacks.deviceAuthenticated = &HostRegistrations::DeviceAuthenticated;
  return callbacks;
}

std::vector<std::string> HostRegistrations::AnnouncedPaths() const {
  std::scoped_lock lock(mutex_);
  return paths_;
}

std::optional<std::string> HostRegistrations::Registration(std::string_view name) const {
  std::scoped_lock lock(mutex_);
  const auto latest = std::find_if(registrations_.rbegin(), registrations_.rend(),
                                   [name](const auto& entry) { return entry.first == name; });
  if (latest == registrations_.rend()) return std::nullopt;
  return latest->second;
}

void HostRegistrations::RegisterPath(void* hostContext, const char* text) {
  if (hostContext == nullptr || text == nullptr) return;
  static_cast<HostRegistrations*>(hostContext)->Record(text);
}

bool HostRegistrations::RevokeRat(void* hostContext, const char* encodedRat) {
  if (hostContext == nullptr || encodedRat == nullptr || *encodedRat == '\0') return false;
  return Revoke(encodedRat);
}

void HostRegistrations::DeviceAuthenticated(const char* first, const char* second) {
  PrintLine("plug-in: device authenticated: " + Printable(TextOrEmpty(first)) + " | " +
            Printable(TextOrEmpty(second)));
}

void HostRegistrations::Record(std::string text) {
  const auto registration = SplitRegistration(text);
  {
    std::scoped_lock lock(mutex_);
    if (registration) {
      registrations_.push_back(*registration);
    } else {
      paths_.push_back(text);
    }
  }
  PrintLine((registration ? "plug-in registration: " : "plug-in path: ") + Printable(text));
  if (registration && registration->first == kDomainSuffixName && domainSuffixListener_) {
    domainSuffixListener_(registration->second);
  }
}

bool HostRegistrations::Revoke(const std::string& encodedRat) {
  // The token is a credential: its length is enough to follow what happened.
  PrintLine("plug-in: revoked a RAT of " + std::to_string(encodedRat.size()) + " characters");
  return true;
}

}  // namespace keystead::host
