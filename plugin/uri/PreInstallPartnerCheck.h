#pragma once

#include <atomic>

namespace corvane::larchmere::plugin::uri {

// Tells, once, whether the product was pre-installed by the partner whose
// affiliate id holds "1319" (registry value "AffId" under
// "SOFTWARE\Keystead\PreInstall"); such a machine announces its service
// status on its first request, whatever the request is.
class PreInstallPartnerCheck {
 public:
  // The process-wide check the router uses.
  static PreInstallPartnerCheck& ProcessWide();

  // The first call reads the registry and returns true for the partner;
  // every later call returns false, whether or not the read succeeded.
  // Thread-safe: of concurrent first calls exactly one reads. Never throws.
  bool IsFirstCallForPartner();

 private:
  std::atomic<bool> checked_{false};
};

}  // namespace corvane::larchmere::plugin::uri
