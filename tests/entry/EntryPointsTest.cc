#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "entry/EntryTestSupport.h"
#include "os/code_signature.h"
#include "os/dynamic_library.h"
#include "os/named_event.h"

namespace corvane::larchmere::plugin::entry::test {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::IsEmpty;

const std::string kNotSetUp =
    ErrorDocument(0, 1003, "Service objects and listeners were not setup.");

// The announced paths, as the plug-in helper's own tests pin them.
std::vector<std::string> AnnouncedPaths() {
  std::set<std::string> paths;
  LarchmerePluginHelperExport::BuildURIs(paths);
  return {paths.begin(), paths.end()};
}

TEST_F(PluginTest, BeforeInitializeEveryRequestGetsError1003WithCors) {
  const Answer answer = Request("GET", "/status/qav");
  EXPECT_EQ(answer.status, 500);
  EXPECT_EQ(answer.body, kNotSetUp);
  EXPECT_EQ(answer.headers, CorsBlock());
}

TEST_F(PluginTest, WithoutEngineInitializeFailsAfterAnnouncingThePaths) {
  sim::Configure([](sim::Config& config) { config.factoryFails = true; });
  EXPECT_FALSE(Start());
  EXPECT_EQ(host.Registered(), AnnouncedPaths());
  EXPECT_EQ(Request("GET", "/status/deviceid").body, kNotSetUp);
}

TEST_F(PluginTest, AnnouncesThe22PathsInAscendingOrderOnEveryInitialize) {
  ASSERT_TRUE(Start());
  const std::vector<std::string> announced = host.Registered();
  ASSERT_EQ(announced.size(), 22u);
  EXPECT_TRUE(std::is_sorted(announced.begin(), announced.end()));
  EXPECT_EQ(announced.front(), "q/v1/authenticate");
  EXPECT_EQ(sim::CallsTo("Initialize").at(0).args, std::vector<std::string>{"5"});

  Finalize();
  host.Clear();
  ASSERT_TRUE(Start());
  EXPECT_EQ(host.Registered(), announced);
  EXPECT_EQ(Request("GET", "/status/deviceid").status, 200);
}

TEST_F(PluginTest, FinalizeTwiceAndInitializeTwiceAreSafe) {
  ASSERT_TRUE(Start());
  ASSERT_TRUE(Start());  // tears the first state down
  EXPECT_EQ(Request("GET", "/status/deviceid").status, 200);
  Finalize();
  Finalize();
  EXPECT_EQ(Request("GET", "/status/deviceid").body, kNotSetUp);
  const HostCallbacks none{};
  EXPECT_TRUE(Initialize(nullptr, &none));
  EXPECT_TRUE(Initialize(nullptr, nullptr));
  EXPECT_EQ(Request("GET", "/status/deviceid").status, 200);
}

TEST_F(PluginTest, FailedEngineStartIsRetriedByTheNextRequestUntilItSucceeds) {
  sim::SetResults("Initialize", {7, 7, 0});
  EXPECT_FALSE(Start());

  const Answer failedAgain = Request("GET", "/status/deviceid");
  EXPECT_EQ(failedAgain.status, 500);
  EXPECT_EQ(failedAgain.body,
            ErrorDocument(0, 1004, "Service init failed.Service init failed(Unknown reason)."));
  EXPECT_EQ(failedAgain.headers, CorsBlock());

  const Answer recovered = Request("GET", "/status/deviceid");
  EXPECT_EQ(recovered.status, 200);
  EXPECT_EQ(recovered.body, "{\"status\":1}\n");
  Request("GET", "/status/deviceid");
  EXPECT_EQ(sim::CallCount("Initialize"), 3u);
}

TEST_F(PluginTest, CloudDownAnswersCode6AfterExactlyOneRetry) {
  sim::Configure([](sim::Config& config) { config.readiness = {true, false}; });
  ASSERT_TRUE(Start());
  const Answer answer = Request("GET", "/csp/servers");  // a remote operation
  EXPECT_EQ(answer.status, 500);
  EXPECT_EQ(answer.body, ErrorDocument(4, 6,
                                       "QAVSDK - Initialize failure: Remote Operations aren't "
                                       "Ready, please check Host file and Internet connectivity!"));
  EXPECT_EQ(sim::CallCount("RetryRemoteOperations"), 1u);
  // A stateless operation is served all the same.
  EXPECT_EQ(Request("GET", "/status/deviceid").status, 200);
}

TEST_F(PluginTest, ReadyEngineAnnouncesItsStatusAndDomainSuffixOnce) {
  ASSERT_TRUE(Start());
  host.Clear();
  Request("GET", "/csp/servers");
  Request("GET", "/devices/video");
  Request("GET", "/csp/servers");
  Request("GET", "/devices/video");
  EXPECT_THAT(host.Registered(), ElementsAre("KS_STATUS/3", "KS_CSP_DOMAIN_SUFIX/.beta"));
}

TEST_F(PluginTest, DeviceReportsReachTheHostOnlyWhenItAskedForThem) {
  RecordingHost::ClearDeviceReports();
  ASSERT_TRUE(Start(/*wantsDeviceReports=*/false));
  EXPECT_EQ(sim::CallCount("SetDeviceAuthenticatedCallback"), 0u);
  EXPECT_FALSE(sim::PushDeviceAuthenticated("x", "y"));
  Finalize();

  ASSERT_TRUE(Start(/*wantsDeviceReports=*/true));
  EXPECT_EQ(sim::CallCount("SetDeviceAuthenticatedCallback"), 1u);
  ASSERT_TRUE(sim::PushDeviceAuthenticated("device-7", "user@example.com"));
  EXPECT_THAT(RecordingHost::DeviceReports(),
              ElementsAre(std::pair<std::string, std::string>("device-7", "user@example.com")));
}

TEST_F(PluginTest, MalformedRequestsGetErrorDocumentsNeverACrash) {
  ASSERT_TRUE(Start());
  const std::string url = Url("/status/qav");
  struct Case {
    const char* method;
    const char* url;
    const char* headers;
    const char* content;
    int length;
    unsigned short startStatus;
    unsigned short status;
  } cases[] = {
      {nullptr, url.c_str(), kJsonHeaders, nullptr, 0, 0, 400},
      {"GET", nullptr, kJsonHeaders, nullptr, 0, 0, 400},
      {"GET", url.c_str(), nullptr, nullptr, 0, 0, 400},
      {"GET", url.c_str(), kJsonHeaders, nullptr, -5, 0, 200},
      {"GET", url.c_str(), kJsonHeaders, "abc", 1 << 30, 0, 200},
      {"DELETE", url.c_str(), kJsonHeaders, nullptr, 0, 0, 400},
      {"GET", "q/v1", kJsonHeaders, nullptr, 0, 0, 400},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(std::string(test.method ? test.method : "(null)") + " " +
                 (test.url ? test.url : "(null)"));
    const Answer answer =
        Request(test.method, test.url, test.headers, test.content, test.length, test.startStatus);
    EXPECT_EQ(answer.status, test.status);
    if (test.status == 400) {
      EXPECT_EQ(answer.body, ErrorDocument(0, 0, "Plugin Generic Error"));
      EXPECT_EQ(answer.headers, CorsBlock());
    }
  }
  // A POST with a body that is not NUL-terminated within its length.
  const char unterminated[4] = {'{', '}', 'x', 'y'};
  const std::string selectUrl = Url("/devices/video");
  EXPECT_EQ(Request("POST", selectUrl.c_str(), kJsonHeaders, unterminated, 2).status, 500);
}

// A content length beyond the body (a host that trusts a wrong
// Content-Length) must not make a handler read past the body's NUL: the
// answer is that of the body's own length. AddressSanitizer builds catch the
// read itself.
TEST_F(PluginTest, EveryHandlerReadsTheBodyOnlyUpToItsEnd) {
  ASSERT_TRUE(Start());
  const struct {
    const char* path;
    std::string body;
  } cases[] = {
      {"/vsu/notifychange", R"({"appId":"a","email":"b@c.d"})"},
      {"/ca/getnewpaireddevices", R"({"devices":[]})"},
      {"/ca/adddevice", R"({"deviceId":"d"})"},
      {"/ca/authenticate", R"({"deviceId":"d"})"},
      {"/signpacket", R"({"operation":"SIGNPACK_ENROLL_REQUEST"})"},
      {"/devicecontext", R"({"culture":"en"})"},
      {"/devices/video", R"({"id":"cam"})"},
      {"/sync", R"({"userList":[]})"},
      {"/tm", R"({"event_list":[]})"},
      {"/bca/settings", R"({"faceIndicatorColor":1})"},
      {"/settings", R"({"id":"s","value":"v"})"},
      {"/authenticate", R"({"userData":{"oTransId":"t"}})"},
      {"/fingerprint/addfactor", R"({"userData":{}})"},
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.path);
    // Exactly the body and its NUL on the heap, so that a read beyond shows.
    const std::vector<char> content(test.body.c_str(), test.body.c_str() + test.body.size() + 1);
    const std::string url = Url(test.path);
    const int length = static_cast<int>(test.body.size());
    const Answer exact = Request("POST", url.c_str(), kJsonHeaders, content.data(), length);
    const Answer overlong =
        Request("POST", url.c_str(), kJsonHeaders, content.data(), length + 4096);
    EXPECT_EQ(overlong.status, exact.status);
    EXPECT_EQ(overlong.body, exact.body);
  }
}

TEST_F(PluginTest, NullOutputPointersAreTolerated) {
  ASSERT_TRUE(Start());
  const std::string url = Url("/status/deviceid");
  EXPECT_TRUE(ProcessRequest("GET", url.c_str(), kJsonHeaders, 0, nullptr, nullptr, nullptr,
                             nullptr, nullptr, nullptr));
  int headersLength = -1;
  int bodyLength = -1;
  char* body = nullptr;
  EXPECT_TRUE(ProcessRequest("GET", url.c_str(), kJsonHeaders, 0, nullptr, nullptr, &headersLength,
                             nullptr, &bodyLength, &body));
  EXPECT_EQ(headersLength, 0);
  ASSERT_NE(body, nullptr);
  EXPECT_STREQ(body, "{\"status\":1}\n");
  EXPECT_EQ(bodyLength, 13);
  EXPECT_TRUE(FreeMem(body));
  EXPECT_TRUE(FreeMem(nullptr));
}

TEST_F(PluginTest, AbortRequestSignalsTheStopEvent) {
  keystead::os::NamedEvent::Remove("STOP_FP_EVENT");
  // The listener holds the event open, as a Win32 event lives only while a
  // handle to it does.
  std::optional<keystead::os::NamedEvent> event =
      keystead::os::NamedEvent::CreateOrOpen("STOP_FP_EVENT");
  ASSERT_TRUE(event.has_value());
  EXPECT_FALSE(event->Wait(std::chrono::milliseconds(0)));
  EXPECT_NE(AbortRequest(), 0);
  EXPECT_TRUE(event->Wait(std::chrono::milliseconds(0)));
  keystead::os::NamedEvent::Remove("STOP_FP_EVENT");
}

TEST(PluginLibraryTest, ExportsThePublicMethodsOfTheListenerHolder) {
  const std::optional<std::string> path =
      keystead::os::ModulePathOf(reinterpret_cast<const void*>(&Initialize));
  ASSERT_TRUE(path.has_value());
  std::optional<keystead::os::DynamicLibrary> library = keystead::os::DynamicLibrary::Open(*path);
  ASSERT_TRUE(library.has_value());
  // Both toolchains mangle alike (Itanium C++ ABI).
  const std::string holder = "N7corvane9larchmere6plugin6common16LMListenerHolder";
  for (const std::string& name : {
           "_Z" + holder + "C1ESt10shared_ptrIN7Corvane3QAV3SDK9FaceLoginEES4_INS2_5ClockEE",
           "_Z" + holder + "D1Ev",
           "_Z" + holder + "5StateEv",
           "_Z" + holder + "13FrameListenerEv",
           "_Z" + holder + "19ResetCaptureSessionENS2_18StoredFramesPolicyE",
           "_ZNK" + holder.substr(1) + "14GetDomainSufixB5cxx11Ev",
       }) {
    EXPECT_NE(library->Symbol(name.c_str()), nullptr) << name;
  }
}

}  // namespace
}  // namespace corvane::larchmere::plugin::entry::test
