#include "plugin/uri/PreInstallPartnerCheck.h"

#include <cstddef>
#include <optional>
#include <string>

#include "os/registry.h"

namespace corvane::larchmere::plugin::uri {

namespace {

constexpr char kPreInstallKey[] = "SOFTWARE\\Keystead\\PreInstall";
constexpr char kAffiliateValue[] = "AffId";
constexpr std::size_t kMaxAffiliateBytes = 512;
constexpr char kPartnerMark[] = "1319";

}  // namespace

PreInstallPartnerCheck& PreInstallPartnerCheck::ProcessWide() {
  static PreInstallPartnerCheck check;
  return check;
}

bool PreInstallPartnerCheck::IsFirstCallForPartner() {
  if (checked_.exchange(true)) {
    return false;
  }
  try {
    const std::optional<std::string> affiliate =
        keystead::os::ReadMachineString(kPreInstallKey, kAffiliateValue, kMaxAffiliateBytes);
    return affiliate && affiliate->find(kPartnerMark) != std::string::npos;
  } catch (...) {
    return false;
  }
}

}  // namespace corvane::larchmere::plugin::uri
