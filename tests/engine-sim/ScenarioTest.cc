// Scenario files: the file named by KEYSTEAD_SIM_SCENARIO overrides the defaults;
// a broken one is refused whole.
#include <filesystem>
#include <string>

#include "SimTestSupport.h"
#include "support/ScopedEnv.h"
#include "support/TempFolder.h"

namespace keystead::sim::test {
namespace {

namespace fs = std::filesystem;

// The example documented in engine-sim/README.md.
const fs::path kExample =
    fs::path(__FILE__).parent_path() / "../../engine-sim/scenario-example.json";

// The variable that names the scenario file.
constexpr char kScenarioVariable[] = "KEYSTEAD_SIM_SCENARIO";

class ScenarioTest : public SimTest {
 protected:
  // Writes the scenario file and returns its path.
  std::string WriteFile(const std::string& text) {
    return folder_.WriteFile("scenario.json", text);
  }

 private:
  test_support::TempFolder folder_;
};

TEST_F(ScenarioTest, TheExampleFileNamedByTheEnvironmentOverridesTheDefaults) {
  test_support::ScopedEnv variable(kScenarioVariable, kExample.string());
  Reset();

  sdk::ServiceReadiness readiness;
  sdk::EngineStatus status;
  sdk::LocalSetting setting;
  std::vector<sdk::VideoDevice> devices;
  sdk::RemoteUserList users;
  std::string context;
  std::string signature;
  std::string token;
  sdk::MatchResult ca;
  EXPECT_EQ(engine->IsAlive(readiness), 0);
  EXPECT_FALSE(readiness.remoteReady);
  EXPECT_EQ(engine->GetServiceStatus(status), 0);
  EXPECT_EQ(status.affID, "DEMO42");
  EXPECT_EQ(engine->GetEngineSetting(setting, "BCA_LIVENESS_TYPE_REMOTE_MATCH"), 0);
  EXPECT_EQ(setting.value, "3");
  EXPECT_EQ(engine->GetEngineSetting(setting, "BCA_BLINK_DETECTION_ENROLLMENT"), 0)
      << "settings the file does not name keep their defaults";
  EXPECT_EQ(engine->GetEngineSetting(setting, "KS_CSP_DOMAIN_SUFIX"), kErrorNotFound);
  EXPECT_EQ(engine->GetEngineSetting(setting, "KS_DEMO_FLAG"), 0);
  EXPECT_EQ(setting.availableValues, "on,off");
  EXPECT_EQ(engine->ListVideoDevices(devices), 0);
  EXPECT_TRUE(devices.at(1).selected);
  EXPECT_EQ(engine->ListRemoteUsers(users, ""), 0);
  EXPECT_TRUE(users.fpAvailable);
  EXPECT_EQ(users.users.at(0).email, "sam.lee@example.com");
  EXPECT_EQ(engine->GetDeviceContext("{}", context), 0);
  EXPECT_EQ(context, R"({"deviceId":"DEMO-DEVICE","trusted":false})");
  EXPECT_EQ(engine->SignPacket("{}", signature), 0);
  EXPECT_NE(signature.find("c2lnbmVk"), std::string::npos);
  EXPECT_EQ(engine->VerifyRat("rat", 0, token), 0);
  EXPECT_EQ(token, "demo-signed-token");
  EXPECT_EQ(engine->AuthenticateWithCADevice(ca, "e", "c", "en"), 0);
  EXPECT_EQ(ca.status, 7682);
  EXPECT_EQ(engine->RemoteMatch(Context(kCorrelationId), &listener, 1), 1450);
  EXPECT_EQ(engine->RemoteMatch(Context(kCorrelationId), &listener, 1), 0);
}

TEST_F(ScenarioTest, FrameSizeRateAndTimelinesComeFromTheFile) {
  test_support::ScopedEnv variable(kScenarioVariable, WriteFile(R"({
    "camera": {"width": 32, "height": 16, "channels": 1, "fps": 40},
    "timelines": {
      "enrollment": [
        {"type": "error", "afterMs": 1, "target": "frame", "code": 5633, "description": "gone"},
        {"type": "feedback", "afterMs": 1, "code": 7, "description": "Move closer"},
        {"type": "processedFrames", "afterMs": 1, "count": 1}
      ],
      "match": [
        {"type": "deviceAuthenticated", "afterMs": 1, "first": "phone", "second": "user"},
        {"type": "result", "afterMs": 1, "matchStatus": false, "nextStep": 4, "idToken": "t"}
      ]
    }
  })"));
  Reset();
  ASSERT_EQ(engine->SetDeviceAuthenticatedCallback(&listener), 0);
  ASSERT_EQ(engine->StartRemoteBiometricData(&listener, 0), 0);
  ASSERT_EQ(engine->RemoteEnroll(&listener, &listener), 0);
  ASSERT_TRUE(listener.WaitFor([&] { return !listener.processed.empty(); }));
  ASSERT_TRUE(listener.WaitFor([&] { return !listener.errors.empty(); }));
  ASSERT_EQ(engine->LocalMatch(&listener, &listener, 1, Context(kCorrelationId), 3), 0);
  ASSERT_TRUE(listener.WaitFor([&] { return !listener.hybridResults.empty(); }));
  ASSERT_EQ(engine->StopRemoteBiometricData(), 0);

  listener.Read([&] {
    ASSERT_FALSE(listener.frames.empty());
    EXPECT_EQ(listener.frames[0].frameSize, 32 * 16);
    EXPECT_EQ(listener.frames[0].channels, 1);
    EXPECT_EQ(listener.errors[0].code, 5633);
    EXPECT_EQ(listener.feedbacks.at(0).description, "Move closer");
    EXPECT_EQ(listener.processed[0].frames.size(), 1u);
    EXPECT_EQ(listener.devices.at(0).first, "phone");
    EXPECT_FALSE(listener.hybridResults[0].matchStatus);
    EXPECT_EQ(listener.hybridResults[0].nextStep, 4);
    EXPECT_EQ(listener.hybridResults[0].correlationId, kCorrelationId);
  });
}

TEST_F(ScenarioTest, ABrokenScenarioIsRefusedWholeAndNamesTheProblem) {
  const std::pair<const char*, const char*> cases[] = {
      {R"({"status": {"status": 0}, "camra": {}})", "camra: unknown member"},
      {R"({"results": {"SignPackets": 1}})", "results.SignPackets: unknown operation"},
      {R"({"results": {"SignPacket": []}})", "results.SignPacket: expected at least one code"},
      {R"({"camera": {"fps": -1}})", "camera.fps"},
      {R"({"status": {"deviceID": 300}})", "status.deviceID: expected a value from 0 to 255"},
      {R"({"videoDevices": [{"id": 1}]})", "videoDevices[0]: a camera needs a name"},
      {R"({"timelines": {"match": [{"type": "smile"}]}})", "timelines.match[0].type"},
      {R"({"timelines": {"match": [{"afterMs": 5}]}})",
       "timelines.match[0]: an event needs a type"},
      {R"({"readiness": {"remote": "yes"}})", "readiness.remote: expected true or false"},
      {R"([1, 2])", "scenario: expected an object"},
      {R"({"status": )", "not valid JSON"},
      {R"({"camera": {"w\u0000x": 1}})", "camera.w\\u0000x: unknown member"},
  };
  for (const auto& [text, message] : cases) {
    std::string error;
    EXPECT_FALSE(LoadScenarioText(text, &error)) << text;
    EXPECT_NE(error.find(message), std::string::npos) << text << " gave: " << error;
  }
  EXPECT_EQ(CurrentConfig().status.status, 3) << "a refused scenario changes nothing";

  std::string error;
  EXPECT_FALSE(LoadScenarioFile("/nonexistent/keystead/scenario.json", &error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST_F(ScenarioTest, ADocumentNestedTooDeeplyIsRefusedWithItsPosition) {
  const std::string text = "{\"deviceContext\":\n" + std::string(1000, '[');
  std::string error;
  EXPECT_FALSE(LoadScenarioText(text, &error));
  EXPECT_NE(error.find("Line 2, Column 1000"), std::string::npos) << error;
  EXPECT_NE(error.find("nested deeper than 1000 levels"), std::string::npos) << error;
}

TEST_F(ScenarioTest, AnUnreadableScenarioLeavesTheDefaults) {
  test_support::ScopedEnv variable(kScenarioVariable, WriteFile("{ this is not json"));
  Reset();
  sdk::EngineStatus status;
  EXPECT_EQ(engine->GetServiceStatus(status), 0);
  EXPECT_EQ(status.status, 3);
}

}  // namespace
}  // namespace keystead::sim::test
