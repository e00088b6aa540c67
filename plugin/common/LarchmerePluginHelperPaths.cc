#include <array>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/common/LarchmerePluginHelperInternal.h"

namespace corvane::larchmere::plugin::common {

using helper_detail::View;

namespace {

// The paths announced to the host, without the prefix. The router serves a
// few more paths that are not announced.
constexpr std::array<const char*, 22> kAnnouncedPaths = {
    "/status/qav",
    "/signpacket",
    "/frame/enrollment",
    "/frame/match",
    "/devices/video",
    "/camera/status",
    "/frame/stop",
    "/sync",
    "/tm",
    "/users/remote",
    "/csp/servers",
    "/bca/settings",
    "/status/deviceid",
    "/settings",
    "/authenticate",
    "/revoke",
    "/vsu/account",
    "/vsu/notifychange",
    "/fingerprint/addfactor",
    "/ca/getnewpaireddevices",
    "/ca/adddevice",
    "/ca/authenticate",
};

}  // namespace

std::string LarchmerePluginHelper::CreateURI(const char* prefix, const char* path) {
  std::string uri(View(prefix));
  uri.append(View(path));
  return uri;
}

void LarchmerePluginHelper::BuildURIs(std::set<std::string>& uris) {
  uris.clear();
  for (const char* path : kAnnouncedPaths) uris.insert(CreateURI(kPathPrefix, path));
}

}  // namespace corvane::larchmere::plugin::common
