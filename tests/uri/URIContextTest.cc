#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <future>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/FakeFaceLogin.h"
#include "plugin/uri/PreInstallPartnerCheck.h"
#include "support/TestRegistry.h"
#include "uri/UriTestSupport.h"

namespace corvane::larchmere::plugin::uri::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const std::string kGenericError = ErrorDocument(0, 0, "Plugin Generic Error");

TEST_F(RouterTest, RegistersTheWholeTableWithTryMatchFramesAheadOfPostMatchFrames) {
  EXPECT_EQ(router->HandlerClassNames(), (std::vector<std::string>{"GetStatus",
                                                                   "PostDeviceContextRequest",
                                                                   "PostSignPacket",
                                                                   "PostEnrollFrames",
                                                                   "TryMatchFrames",
                                                                   "PostMatchFrames",
                                                                   "GetVideoDevices",
                                                                   "GetVideoDeviceStatus",
                                                                   "PostFrameStop",
                                                                   "PostVideoDevice",
                                                                   "PostRemoteSessionSync",
                                                                   "PostTelemetry",
                                                                   "GetRemoteUsers",
                                                                   "GetCloudServers",
                                                                   "PostBCASettings",
                                                                   "GetDeviceIdStatus",
                                                                   "GetLocalSetting",
                                                                   "PostLocalSetting",
                                                                   "PostAuthenticate",
                                                                   "PostRevoke",
                                                                   "PostAddDevice",
                                                                   "GetVSUAccount",
                                                                   "PostVSUNotifyChange",
                                                                   "AddFPFactor",
                                                                   "AuthenticateFingerprint",
                                                                   "GetNewPairedDevices",
                                                                   "AddCADevice",
                                                                   "AuthenticateWithCADevice",
                                                                   "Logout"}));
}

struct RouteCase {
  const char* method;
  std::string url;
  const char* headers;
  const char* handler;  // null: no handler serves it
};

TEST_F(RouterTest, PicksTheHandlerByPathMethodAndHeaders) {
  const RouteCase cases[] = {
      {"GET", Url("/status/qav"), kJsonHeaders, "GetStatus"},
      {"POST", Url("/devicecontext"), kJsonHeaders, "PostDeviceContextRequest"},
      {"POST", Url("/signpacket"), kJsonHeaders, "PostSignPacket"},
      {"POST", Url("/frame/enrollment"), kJsonHeaders, "PostEnrollFrames"},
      {"POST", Url("/frame/match"), kJsonHeaders, "PostMatchFrames"},
      {"POST", Url("/frame/trymatch"), kJsonHeaders, "TryMatchFrames"},
      {"GET", Url("/devices/video"), kJsonHeaders, "GetVideoDevices"},
      {"POST", Url("/devices/video"), kJsonHeaders, "PostVideoDevice"},
      {"GET", Url("/camera/status"), kJsonHeaders, "GetVideoDeviceStatus"},
      {"POST", Url("/frame/stop"), kJsonHeaders, "PostFrameStop"},
      {"POST", Url("/sync"), kJsonHeaders, "PostRemoteSessionSync"},
      {"POST", Url("/tm"), kJsonHeaders, "PostTelemetry"},
      {"GET", Url("/users/remote"), kJsonHeaders, "GetRemoteUsers"},
      {"GET", Url("/csp/servers"), kJsonHeaders, "GetCloudServers"},
      {"POST", Url("/bca/settings"), kJsonHeaders, "PostBCASettings"},
      {"GET", Url("/status/deviceid"), kJsonHeaders, "GetDeviceIdStatus"},
      {"GET", Url("/settings"), kJsonHeaders, "GetLocalSetting"},
      {"POST", Url("/settings"), kJsonHeaders, "PostLocalSetting"},
      {"POST", Url("/authenticate"), kJsonHeaders, "PostAuthenticate"},
      {"POST", Url("/revoke"), kJsonHeaders, "PostRevoke"},
      {"POST", Url("/frame/adddevice"), kJsonHeaders, "PostAddDevice"},
      {"GET", Url("/vsu/account"), kJsonHeaders, "GetVSUAccount"},
      {"POST", Url("/vsu/notifychange"), kJsonHeaders, "PostVSUNotifyChange"},
      {"POST", Url("/fingerprint/addfactor"), kJsonHeaders, "AddFPFactor"},
      {"POST", Url("/fingerprint/authenticate"), kJsonHeaders, "AuthenticateFingerprint"},
      {"POST", Url("/ca/getnewpaireddevices"), kJsonHeaders, "GetNewPairedDevices"},
      {"POST", Url("/ca/adddevice"), kJsonHeaders, "AddCADevice"},
      {"POST", Url("/ca/authenticate"), kJsonHeaders, "AuthenticateWithCADevice"},
      {"POST", Url("/ca/logout"), kJsonHeaders, "Logout"},
      // Query strings do not matter; only the Origin header is needed.
      {"GET", Url("/status/qav?x=1"), "Origin: https://app.keystead.com\r\n", "GetStatus"},
      {"POST", Url("/status/qav"), kJsonHeaders, nullptr},
      {"POST", Url("/status/deviceid"), kJsonHeaders, nullptr},
      {"GET", Url("/unknown"), kJsonHeaders, nullptr},
      {"GET", "http://localhost/status/qav", kJsonHeaders, nullptr},
      {"GET", Url("/status/qav"), "Accept: text/html\r\n", nullptr},
      {"GET", Url("/status/qav"), nullptr, nullptr},
      {"options", Url("/status/qav"), kJsonHeaders, nullptr},
      {nullptr, Url("/status/qav"), kJsonHeaders, nullptr},
      {"GET", "", kJsonHeaders, nullptr},
  };
  for (const RouteCase& route : cases) {
    SCOPED_TRACE(std::string(route.method ? route.method : "(null)") + " " + route.url);
    const IURIStrategy* handler =
        router->FindHandler(route.method, route.url.c_str(), route.headers, 0, nullptr);
    if (route.handler == nullptr) {
      EXPECT_EQ(handler, nullptr);
    } else {
      ASSERT_NE(handler, nullptr);
      EXPECT_STREQ(handler->GetClassName(), route.handler);
    }
  }
  EXPECT_EQ(router->FindHandler("GET", nullptr, kJsonHeaders, 0, nullptr), nullptr);
}

TEST_F(RouterTest, AnswersOptionsItselfForAnyUrlWithoutTheEngine) {
  for (const char* path : {"/frame/match", "/nothing/here", ""}) {
    SCOPED_TRACE(path);
    const Response response = Send("OPTIONS", path);
    EXPECT_TRUE(response.result);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(response.body, "{}");
    EXPECT_EQ(response.headers, CorsBlock(kJsonHeaders));
  }
  // Even a header-less pre-flight gets the default CORS block.
  Response bare;
  bare.status = 0;
  EXPECT_TRUE(router->ProcessRequest("OPTIONS", nullptr, nullptr, -1, nullptr, bare.status,
                                     bare.headers, bare.body));
  EXPECT_EQ(bare.status, 200);
  EXPECT_EQ(bare.headers, CorsBlock(nullptr));
  EXPECT_THAT(sim::Calls(), IsEmpty());
}

TEST_F(RouterTest, WithoutHandlerAnswers400OrLeavesAStarting200Untouched) {
  // Lower-case "options" is no pre-flight: it goes through matching.
  const Response from500 = Send("options", "/status/qav", kJsonHeaders, "", 500);
  EXPECT_FALSE(from500.result);
  EXPECT_EQ(from500.status, 400);
  EXPECT_EQ(from500.body, kGenericError);
  EXPECT_EQ(from500.headers, CorsBlock(kJsonHeaders));

  const Response noValidHeader = Send("GET", "/status/qav", "Accept: */*\r\n", "", 0);
  EXPECT_EQ(noValidHeader.status, 400);
  EXPECT_EQ(noValidHeader.body, kGenericError);

  const Response from200 = Send("GET", "/unknown", kJsonHeaders, "", 200);
  EXPECT_FALSE(from200.result);
  EXPECT_EQ(from200.status, 200);
  EXPECT_EQ(from200.headers, "");
  EXPECT_EQ(from200.body, "");
}

struct ReadinessCase {
  const char* name;
  sdk::ServiceReadiness readiness;
  std::optional<sdk::ServiceReadiness> afterRetry;
  int isAliveResult;
  int retryResult;
  const char* method;
  const char* path;
  int errorCode;  // 0: the handler ran
  std::size_t isAliveCalls;
  std::size_t retryCalls;
};

TEST_F(RouterTest, ChecksEngineReadinessByOperationKind) {
  const char* local = "/devices/video";  // GetVideoDevices, kind 1
  const char* remote = "/signpacket";    // PostSignPacket, kind 2
  const char* stateless = "/status/deviceid";
  const ReadinessCase cases[] = {
      {"stateless, engine down", {false, false}, std::nullopt, 1, 0, "GET", stateless, 0, 0, 0},
      {"local ready", {true, false}, std::nullopt, 0, 0, "GET", local, 0, 1, 0},
      {"local not ready", {false, true}, std::nullopt, 0, 0, "GET", local, 5, 1, 0},
      {"local, IsAlive fails", {true, true}, std::nullopt, 3, 0, "GET", local, 5, 1, 0},
      {"remote ready", {false, true}, std::nullopt, 0, 0, "POST", remote, 0, 1, 0},
      {"remote down, retry no help", {true, false}, std::nullopt, 0, 0, "POST", remote, 6, 2, 1},
      {"remote down, retry helps",
       {true, false},
       sdk::ServiceReadiness{true, true},
       0,
       0,
       "POST",
       remote,
       0,
       2,
       1},
      {"remote down, retry fails",
       {true, false},
       sdk::ServiceReadiness{true, true},
       0,
       9,
       "POST",
       remote,
       6,
       1,
       1},
  };
  for (const ReadinessCase& test : cases) {
    SCOPED_TRACE(test.name);
    TearDown();
    SetUp();
    sim::Configure([&](sim::Config& config) {
      config.readiness = test.readiness;
      config.readinessAfterRetry = test.afterRetry;
    });
    sim::SetResult("IsAlive", test.isAliveResult);
    sim::SetResult("RetryRemoteOperations", test.retryResult);

    const Response response = Send(test.method, test.path);
    EXPECT_EQ(sim::CallCount("IsAlive"), test.isAliveCalls);
    EXPECT_EQ(sim::CallCount("RetryRemoteOperations"), test.retryCalls);
    if (test.retryCalls > 0) {
      EXPECT_EQ(sim::CallsTo("RetryRemoteOperations").front().args, std::vector<std::string>{"1"});
    }
    if (test.errorCode == 0) {
      EXPECT_EQ(response.body.find("\"source\":4"), std::string::npos) << response.body;
    } else {
      EXPECT_FALSE(response.result);
      EXPECT_EQ(response.status, 500);
      EXPECT_EQ(response.headers, CorsBlock(kJsonHeaders, holder->GetDomainSufix()));
      const char* description =
          test.errorCode == 5
              ? "QAVSDK - Initialize failure: Local Operations aren't Ready!"
              : "QAVSDK - Initialize failure: Remote Operations aren't Ready, please check Host "
                "file and Internet connectivity!";
      EXPECT_EQ(response.body, ErrorDocument(4, test.errorCode, description));
    }
  }
}

TEST_F(RouterTest, RemembersReadinessOnceBothKindsAreReady) {
  Send("GET", "/devices/video");
  Send("POST", "/signpacket");
  Send("GET", "/devices/video");
  Send("POST", "/signpacket");
  EXPECT_EQ(sim::CallCount("IsAlive"), 2u);
  EXPECT_TRUE(router->IsLocalReady());
  EXPECT_TRUE(router->IsRemoteReady());
}

TEST_F(RouterTest, RegistersTheServiceStatusOnlyFromThreeOnAndOnlyOnce) {
  const std::pair<int, const char*> cases[] = {
      {0, nullptr}, {1, nullptr}, {2, nullptr}, {3, "KS_STATUS/3"}, {12, "KS_STATUS/12"}};
  for (const auto& [status, registration] : cases) {
    SCOPED_TRACE(status);
    TearDown();
    SetUp();
    sim::Configure([status = status](sim::Config& config) { config.status.status = status; });
    Send("POST", "/signpacket");
    Send("POST", "/signpacket");
    std::vector<std::string> statusTexts;
    for (const std::string& text : registrations.Texts()) {
      if (text.starts_with("KS_STATUS")) statusTexts.push_back(text);
    }
    if (registration == nullptr) {
      EXPECT_THAT(statusTexts, IsEmpty());
    } else {
      EXPECT_THAT(statusTexts, ElementsAre(registration));
    }
  }
}

TEST_F(RouterTest, FailedStatusQueryRegistersNothing) {
  sim::SetResult("GetServiceStatus", 4);
  Send("POST", "/signpacket");
  EXPECT_THAT(registrations.Texts(), IsEmpty());
}

TEST_F(RouterTest, LocalReadinessRegistersTheDomainSuffixOnceAndCorsUsesIt) {
  Send("GET", "/devices/video");
  Send("POST", "/devices/video", kJsonHeaders, R"({"name":"Keystead Virtual Camera"})");
  EXPECT_THAT(registrations.Texts(), ElementsAre("KS_CSP_DOMAIN_SUFIX/.beta"));
  EXPECT_EQ(holder->GetDomainSufix(), std::optional<std::string>(".beta"));
  const Response options = Send("OPTIONS", "/frame/match");
  EXPECT_EQ(options.headers, CorsBlock(kJsonHeaders, std::string(".beta")));
}

TEST_F(RouterTest, WithoutSuffixSettingNothingIsRegistered) {
  sim::Configure([](sim::Config& config) { config.settings.erase("KS_CSP_DOMAIN_SUFIX"); });
  Send("GET", "/devices/video");
  EXPECT_THAT(registrations.Texts(), IsEmpty());
  EXPECT_EQ(holder->GetDomainSufix(), std::nullopt);
}

// An engine whose camera status query throws, to reach the router's own
// exception handling through a stateless handler.
class ThrowingEngine : public plugin::test::FakeFaceLogin {
 public:
  int QueryVideoDeviceStatus(int&) override { throw std::runtime_error("engine exploded"); }
};

TEST(RouterExceptionTest, HandlerExceptionBecomesGenericErrorWith500) {
  auto engine = std::make_shared<ThrowingEngine>();
  auto holder = std::make_unique<common::LMListenerHolder>(engine, std::make_shared<ManualClock>());
  URIContext router(engine, holder.get(), nullptr, HostCallbacks{});
  const Response response = SendTo(router, "GET", "/camera/status", kJsonHeaders, "", 200);
  EXPECT_FALSE(response.result);
  EXPECT_EQ(response.status, 500);
  EXPECT_EQ(response.body, kGenericError);
  EXPECT_EQ(response.headers, CorsBlock(kJsonHeaders));
}

TEST(RouterWithoutEngineTest, RegistersNoHandlerAndAnswersNothing) {
  URIContext router(nullptr, nullptr, nullptr, HostCallbacks{});
  EXPECT_THAT(router.HandlerClassNames(), IsEmpty());
  const Response response = SendTo(router, "GET", "/status/qav", kJsonHeaders, "", 0);
  EXPECT_FALSE(response.result);
  EXPECT_EQ(response.status, 400);
  EXPECT_EQ(response.body, kGenericError);
}

// --- Pre-install partner check ---

class PreInstallPartnerCheckTest : public ::testing::Test {
 protected:
  void WriteAffiliateId(const std::string& value) {
    registry.SetString("SOFTWARE\\Keystead\\PreInstall", "AffId", value);
  }
  keystead::test_support::TestRegistry registry{std::filesystem::temp_directory_path()};
};

TEST_F(PreInstallPartnerCheckTest, OnlyTheFirstCallTellsAPartner) {
  const std::pair<const char*, bool> cases[] = {
      {"aff-1319-x", true}, {"1319", true}, {"131", false}, {"4242", false}};
  for (const auto& [affiliate, partner] : cases) {
    SCOPED_TRACE(affiliate);
    WriteAffiliateId(affiliate);
    PreInstallPartnerCheck check;
    EXPECT_EQ(check.IsFirstCallForPartner(), partner);
    EXPECT_FALSE(check.IsFirstCallForPartner());
  }
}

// The value is read into a 512-byte buffer of UTF-16: 255 units fit,
// whatever their UTF-8 length.
TEST_F(PreInstallPartnerCheckTest, AffiliateIdFitsByItsUtf16Length) {
  for (const auto& [euros, partner] : {std::pair{251, true}, std::pair{252, false}}) {
    SCOPED_TRACE(euros);
    std::string affiliate = "1319";
    for (int i = 0; i < euros; ++i) affiliate += "\xE2\x82\xAC";  // U+20AC: 3 bytes, 1 unit
    WriteAffiliateId(affiliate);
    PreInstallPartnerCheck check;
    EXPECT_EQ(check.IsFirstCallForPartner(), partner);
  }
}

TEST_F(PreInstallPartnerCheckTest, MissingValueIsNoPartnerAndLaterCallsStayFalse) {
  PreInstallPartnerCheck check;
  EXPECT_FALSE(check.IsFirstCallForPartner());
  WriteAffiliateId("1319");
  EXPECT_FALSE(check.IsFirstCallForPartner());
}

using PreInstallPartnerCheckConcurrencyTest = PreInstallPartnerCheckTest;

TEST_F(PreInstallPartnerCheckConcurrencyTest, ExactlyOneOfManyFirstCallsSeesThePartner) {
  WriteAffiliateId("1319");
  PreInstallPartnerCheck check;
  std::atomic<int> partners{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 8; ++i) {
    threads.emplace_back([&] {
      if (check.IsFirstCallForPartner()) ++partners;
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(partners.load(), 1);
}

}  // namespace
}  // namespace corvane::larchmere::plugin::uri::test
