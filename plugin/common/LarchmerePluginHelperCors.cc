#include "plugin/common/AllowedOrigins.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/common/LarchmerePluginHelperInternal.h"

namespace corvane::larchmere::plugin::common {

using helper_detail::View;

namespace {

constexpr std::string_view kCorsBlock =
    "\r\nAccess-Control-Allow-Methods: GET, POST, OPTIONS\r\n"
    "Access-Control-Allow-Headers: Origin, X-Requested-With, Content-Type, Accept, "
    "Q-Correlation-Id, Caller, Liveness, StreamType, x-pbversion, x-ksversion, x-jwstoken\r\n"
    "Access-Control-Max-Age: 60\r\n"
    "Content-Type: application/json; charset=UTF-8\r\n"
    "Accept: application/json; charset=UTF-8\r\n"
    "Allow: OPTIONS, GET, POST\r\n";

}  // namespace

void LarchmerePluginHelper::BuildHeader(const char* requestHeaders,
                                        const std::optional<std::string>& domainSuffix,
                                        std::string& out) {
  const std::string_view headers = View(requestHeaders);
  const std::set<std::string> origins =
      AllowedOrigins(domainSuffix ? std::string_view(*domainSuffix) : std::string_view());
  std::string_view allowed = kDefaultAllowedOrigin;
  std::string originLine;
  for (const std::string& origin : origins) {
    originLine.assign("Origin: ").append(origin);
    if (headers.find(originLine) != std::string_view::npos) {
      allowed = origin;
      break;
    }
  }
  out.assign("Access-Control-Allow-Origin: ");
  out.append(allowed).append(kCorsBlock);
}

}  // namespace corvane::larchmere::plugin::common
