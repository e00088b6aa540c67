#include <string>
#include <vector>

#include "entry/EntryTestSupport.h"

namespace corvane::larchmere::plugin::entry::test {
namespace {

constexpr char kSelectionFailed[] =
    "An error occured while selecting the camera. Most likely the device does not exist";

class EndpointTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    ASSERT_TRUE(Start());
    sim::ClearCalls();
  }

  void ExpectAnswer(const Answer& answer, unsigned short status, const std::string& body) {
    EXPECT_EQ(answer.status, status);
    EXPECT_EQ(answer.body, body);
    EXPECT_EQ(answer.headers, CorsBlock());
  }
};

TEST_F(EndpointTest, EngineStatusIsPassedThroughMemberByMember) {
  struct Case {
    sdk::EngineStatus status;
    int result;
    const char* body;
  } cases[] = {
      {{0, 0, 0, 0, ""},
       0,
       R"({"affID":"","capabilities":{"deviceID":0,"faceFactor":0,"fingerprintFactor":0},"status":0})"},
      {{3, 2, 1, 255, "aff-42"},
       0,
       R"({"affID":"aff-42","capabilities":{"deviceID":2,"faceFactor":1,"fingerprintFactor":255},"status":3})"},
      {{-7, 1, 0, 0, "x"},
       0,
       R"({"affID":"x","capabilities":{"deviceID":1,"faceFactor":0,"fingerprintFactor":0},"status":-7})"},
      {{3, 1, 1, 1, "hidden"}, 1168, R"({"status":1})"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.body);
    sim::Configure([&](sim::Config& config) { config.status = test.status; });
    sim::SetResult("GetServiceStatus", test.result);
    ExpectAnswer(Request("GET", "/status/qav"), 200, std::string(test.body) + "\n");
  }
}

TEST_F(EndpointTest, DeviceIdStatusIsConstantAndNeverAsksTheEngine) {
  sim::Configure([](sim::Config& config) { config.readiness = {false, false}; });
  ExpectAnswer(Request("GET", "/status/deviceid"), 200, "{\"status\":1}\n");
  EXPECT_TRUE(sim::Calls().empty());
}

TEST_F(EndpointTest, StatusPathsDoNotAnswerPost) {
  for (const char* path : {"/status/qav", "/status/deviceid"}) {
    SCOPED_TRACE(path);
    const std::string url = Url(path);
    const Answer answer = Request("POST", url.c_str(), kJsonHeaders, nullptr, 0, 0);
    EXPECT_EQ(answer.status, 400);
  }
}

TEST_F(EndpointTest, ListsTheCamerasInTheEnginesOrderOrNoneOnFailure) {
  ExpectAnswer(Request("GET", "/devices/video"), 200,
               R"({"devices":[{"id":0,"name":"Keystead Virtual Camera","selected":true},)"
               R"({"id":1,"name":"Keystead Virtual IR Camera","selected":false}]})"
               "\n");
  sim::SetResult("ListVideoDevices", 5);
  ExpectAnswer(Request("GET", "/devices/video"), 200, "{\"devices\":[]}\n");
  sim::SetResult("ListVideoDevices", 0);
  sim::Configure([](sim::Config& config) { config.videoDevices.clear(); });
  ExpectAnswer(Request("GET", "/devices/video"), 200, "{\"devices\":[]}\n");
}

TEST_F(EndpointTest, SelectsTheCameraByNameAlone) {
  ExpectAnswer(Request("POST", "/devices/video",
                       R"({"id":0,"name":"Keystead Virtual IR Camera","selected":false})"),
               200, "{}");
  ExpectAnswer(Request("POST", "/devices/video", R"({"name":"Keystead Virtual Camera"})"), 200,
               "{}");
  EXPECT_EQ(sim::CallsTo("SelectVideoDevice").at(0).args,
            std::vector<std::string>{"Keystead Virtual IR Camera"});
}

TEST_F(EndpointTest, SelectionFailuresAnswer500WithTheirSource) {
  struct Case {
    const char* body;
    std::string answer;
  } cases[] = {
      {R"({"id":3,"name":"No Such Camera","selected":true})",
       ErrorDocument(1, 1168, kSelectionFailed)},
      {"not json", ErrorDocument(0, 1001, "Invalid Json")},
      {"", ErrorDocument(0, 1001, "Invalid Json")},
      {R"({"name":"Keystead Virtual Camera",})", ErrorDocument(0, 1001, "Invalid Json")},
      {R"({"id":"three","name":"Keystead Virtual Camera"})",
       ErrorDocument(0, 3, "Value is not convertible to Int.")},
      {R"({"id":1,"name":"Keystead Virtual Camera","selected":"yes"})",
       ErrorDocument(0, 3, "Value is not convertible to bool.")},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.body);
    ExpectAnswer(Request("POST", "/devices/video", test.body), 500, test.answer);
  }
  // A root that is no object: the reader's own message, code 3.
  const Answer array = Request("POST", "/devices/video", "[1,2]");
  EXPECT_EQ(array.status, 500);
  EXPECT_THAT(array.body, ::testing::StartsWith(R"({"error":{"code":3,"description":")"));
  EXPECT_THAT(array.body, ::testing::EndsWith("\"source\":0}}\n"));
}

TEST_F(EndpointTest, CameraStatusIsTheEnginesValueOrZero) {
  sim::Configure([](sim::Config& config) { config.videoStatus = 4; });
  ExpectAnswer(Request("GET", "/camera/status"), 200, "{\"deviceStatus\":4}\n");
  sim::SetResult("QueryVideoDeviceStatus", 2);
  ExpectAnswer(Request("GET", "/camera/status"), 200, "{\"deviceStatus\":0}\n");
}

}  // namespace
}  // namespace corvane::larchmere::plugin::entry::test
