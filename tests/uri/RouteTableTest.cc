#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/uri/RouteTable.h"
#include "uri/UriTestSupport.h"

namespace corvane::larchmere::plugin::uri::test {
namespace {

TEST(RouteTableTest, AnnouncesTwentyTwoPathsInAscendingOrder) {
  std::set<std::string> uris = {"stale"};
  common::LarchmerePluginHelper::BuildURIs(uris);
  const std::vector<std::string> expected = {
      "q/v1/authenticate",
      "q/v1/bca/settings",
      "q/v1/ca/adddevice",
      "q/v1/ca/authenticate",
      "q/v1/ca/getnewpaireddevices",
      "q/v1/camera/status",
      "q/v1/csp/servers",
      "q/v1/devices/video",
      "q/v1/fingerprint/addfactor",
      "q/v1/frame/enrollment",
      "q/v1/frame/match",
      "q/v1/frame/stop",
      "q/v1/revoke",
      "q/v1/settings",
      "q/v1/signpacket",
      "q/v1/status/deviceid",
      "q/v1/status/qav",
      "q/v1/sync",
      "q/v1/tm",
      "q/v1/users/remote",
      "q/v1/vsu/account",
      "q/v1/vsu/notifychange",
  };
  EXPECT_EQ(std::vector<std::string>(uris.begin(), uris.end()), expected);
}

// A route whose requests an earlier handler takes (as PostMatchFrames would
// take TryMatchFrames's if it were tried first) would never run.
TEST_F(RouterTest, EveryRouteIsServedByItsOwnHandler) {
  for (const Route& route : Routes()) {
    SCOPED_TRACE(route.className);
    const IURIStrategy* handler =
        router->FindHandler(route.method, Url(route.path).c_str(), kJsonHeaders, 0, nullptr);
    ASSERT_NE(handler, nullptr);
    EXPECT_STREQ(handler->GetClassName(), route.className);
  }
  EXPECT_EQ(router->HandlerClassNames().size(), Routes().size());
}

}  // namespace
}  // namespace corvane::larchmere::plugin::uri::test
