// The believable default that the demo and a newcomer see without a scenario.
#include <json/json.h>

#include <cctype>
#include <memory>

#include "SimTestSupport.h"

namespace keystead::sim::test {
namespace {

using DefaultsTest = SimTest;

Json::Value ParseJson(const std::string& text) {
  Json::Value value;
  Json::CharReaderBuilder builder;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  std::string errors;
  EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &value, &errors))
      << text << ": " << errors;
  return value;
}

TEST_F(DefaultsTest, ServiceIsReadyWithStatusThreeAndCapabilities) {
  sdk::ServiceReadiness readiness;
  sdk::EngineStatus status;
  EXPECT_EQ(engine->Initialize(5), 0);
  EXPECT_EQ(engine->IsAlive(readiness), 0);
  EXPECT_EQ(engine->GetServiceStatus(status), 0);
  EXPECT_TRUE(readiness.localReady);
  EXPECT_TRUE(readiness.remoteReady);
  EXPECT_EQ(status.status, 3);
  EXPECT_EQ(status.faceFactor, 1);
  EXPECT_FALSE(status.affID.empty());
}

TEST_F(DefaultsTest, SettingsAreHeldInMemory) {
  const std::pair<const char*, const char*> defaults[] = {{"BCA_LIVENESS_TYPE_REMOTE_MATCH", "1"},
                                                          {"BCA_BLINK_DETECTION_ENROLLMENT", "0"},
                                                          {"KS_CSP_DOMAIN_SUFIX", ".beta"}};
  for (const auto& [name, value] : defaults) {
    sdk::LocalSetting setting;
    EXPECT_EQ(engine->GetEngineSetting(setting, name), 0) << name;
    EXPECT_EQ(setting.id, name);
    EXPECT_EQ(setting.value, value) << name;
  }

  sdk::LocalSetting setting{"stale", "stale", "", "", "", ""};
  EXPECT_EQ(engine->GetEngineSetting(setting, "NO_SUCH_SETTING"), kErrorNotFound);
  EXPECT_EQ(setting.value, "");

  EXPECT_EQ(engine->SetLocalSetting({"BCA_LIVENESS_TYPE_REMOTE_MATCH", "3", "", "", "", ""}), 0);
  int color = 2;
  EXPECT_EQ(engine->SetFaceIndicatorColor(&color), 0);
  EXPECT_EQ(engine->GetEngineSetting(setting, "BCA_LIVENESS_TYPE_REMOTE_MATCH"), 0);
  EXPECT_EQ(setting.value, "3");
  EXPECT_FALSE(setting.display.empty()) << "fields not sent are kept";
  EXPECT_EQ(engine->GetEngineSetting(setting, "BCA_FACE_INDICATOR_COLOR"), 0);
  EXPECT_EQ(setting.value, "2");
  EXPECT_EQ(engine->SetLocalSetting({"", "1", "", "", "", ""}), kErrorInvalidArgument);
}

TEST_F(DefaultsTest, FreshSettingNamesStopAtTheBoundWhileKnownOnesStillChange) {
  for (int number = 0; number < 1000; ++number) {
    engine->SetLocalSetting({"KS_FRESH_" + std::to_string(number), "1", "", "", "", ""});
  }
  EXPECT_EQ(CurrentConfig().settings.size(), kMaxSettings);
  EXPECT_EQ(engine->SetLocalSetting({"KS_ONE_MORE", "1", "", "", "", ""}), kErrorNotFound);
  sdk::LocalSetting setting;
  EXPECT_EQ(engine->GetEngineSetting(setting, "KS_ONE_MORE"), kErrorNotFound);
  EXPECT_EQ(engine->SetLocalSetting({"BCA_PREVIEW_TYPE", "1", "", "", "", ""}), 0);
  EXPECT_EQ(engine->GetEngineSetting(setting, "BCA_PREVIEW_TYPE"), 0);
  EXPECT_EQ(setting.value, "1");
}

TEST_F(DefaultsTest, TwoVirtualCamerasOfWhichOneIsSelected) {
  std::vector<sdk::VideoDevice> devices;
  ASSERT_EQ(engine->ListVideoDevices(devices), 0);
  ASSERT_EQ(devices.size(), 2u);
  EXPECT_EQ(devices[0].name, "Keystead Virtual Camera");
  EXPECT_TRUE(devices[0].selected);
  EXPECT_EQ(devices[1].name, "Keystead Virtual IR Camera");
  EXPECT_FALSE(devices[1].selected);

  EXPECT_EQ(engine->SelectVideoDevice("No Such Camera"), kErrorNotFound);
  EXPECT_EQ(engine->SelectVideoDevice("Keystead Virtual IR Camera"), 0);
  ASSERT_EQ(engine->ListVideoDevices(devices), 0);
  EXPECT_FALSE(devices[0].selected);
  EXPECT_TRUE(devices[1].selected);
}

TEST_F(DefaultsTest, CaptureWithoutASelectedCameraReportsTheInvalidCamera) {
  Configure([](Config& config) { config.videoDevices.clear(); });
  ASSERT_EQ(engine->StartRemoteBiometricData(&listener, 0), 0);
  ASSERT_TRUE(listener.WaitFor([&] { return !listener.errors.empty(); }));
  EXPECT_EQ(engine->StopRemoteBiometricData(), 0);
  EXPECT_EQ(listener.Read([&] { return listener.errors[0].code; }), kErrorNoCamera);
}

TEST_F(DefaultsTest, SignPacketAnswersHeaderAndBodyPayload) {
  std::string answer;
  ASSERT_EQ(engine->SignPacket(R"({"data":{"userData":{"email":"a@b.c"}}})", answer), 0);
  const Json::Value signed_ = ParseJson(answer);
  ASSERT_TRUE(signed_["HeaderPayload"].isObject());
  EXPECT_FALSE(signed_["HeaderPayload"].empty());
  for (const std::string& name : signed_["HeaderPayload"].getMemberNames()) {
    EXPECT_TRUE(signed_["HeaderPayload"][name].isString()) << name;
  }
  EXPECT_EQ(signed_["BodyPayload"]["data"]["userData"]["email"].asString(), "a@b.c");

  std::string again;
  ASSERT_EQ(engine->SignPacket("plain text", again), 0);
  EXPECT_EQ(ParseJson(again)["BodyPayload"].asString(), "plain text");
}

TEST_F(DefaultsTest, CloudAnswersAreJson) {
  std::string context;
  std::string paired;
  sdk::MatchResult fingerprint;
  sdk::MatchResult addDevice;
  sdk::MatchResult caAuthentication;
  int fpStatus = 100;
  EXPECT_EQ(engine->GetDeviceContext("{}", context), 0);
  EXPECT_EQ(engine->GetNewPairedDevices(paired, "[]"), 0);
  EXPECT_EQ(engine->AuthenticateFingerprint(fingerprint, "e", "c", "en", "t", "n", "1"), 0);
  EXPECT_EQ(engine->AddCADevice(addDevice, "e", "{}", "c", "en", "tok"), 0);
  EXPECT_EQ(engine->AuthenticateWithCADevice(caAuthentication, "e", "c", "en"), 0);
  EXPECT_EQ(engine->AddFingerprintFactor(fpStatus, "e", "c", "en", "tok"), 0);

  EXPECT_TRUE(ParseJson(context).isObject());
  EXPECT_TRUE(ParseJson(paired).isArray());
  EXPECT_FALSE(ParseJson(fingerprint.response)["idToken"].asString().empty());
  EXPECT_TRUE(ParseJson(addDevice.response).isObject());
  EXPECT_TRUE(ParseJson(caAuthentication.response).isObject());
  EXPECT_EQ(fingerprint.status, 0);
  EXPECT_EQ(fpStatus, 0);

  std::vector<sdk::CloudServer> servers;
  EXPECT_EQ(engine->ListCloudServers(servers), 0);
  EXPECT_FALSE(servers.empty());
}

TEST_F(DefaultsTest, RemoteUsersAreListedByAddress) {
  sdk::RemoteUserList all;
  sdk::RemoteUserList one;
  sdk::RemoteUserList none;
  ASSERT_EQ(engine->ListRemoteUsers(all, ""), 0);
  ASSERT_FALSE(all.users.empty());
  const std::string email = all.users[0].email;
  std::string shouted = email;
  for (char& c : shouted) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  ASSERT_EQ(engine->ListRemoteUsers(one, shouted), 0);
  ASSERT_EQ(engine->ListRemoteUsers(none, "nobody@example.com"), 0);
  ASSERT_EQ(one.users.size(), 1u);
  EXPECT_EQ(one.users[0].email, email);
  EXPECT_TRUE(none.users.empty());
}

TEST_F(DefaultsTest, TokensAndRetries) {
  std::string token = "stale";
  EXPECT_EQ(engine->VerifyRat("encoded-rat", 0, token), 0);
  EXPECT_FALSE(token.empty());
  EXPECT_EQ(engine->VerifyRat("", 0, token), kErrorInvalidArgument);
  EXPECT_TRUE(token.empty());

  Configure([](Config& config) {
    config.readiness = {true, false};
    config.readinessAfterRetry = sdk::ServiceReadiness{true, true};
  });
  sdk::ServiceReadiness readiness;
  engine->IsAlive(readiness);
  EXPECT_FALSE(readiness.remoteReady);
  EXPECT_EQ(engine->RetryRemoteOperations(1), 0);
  engine->IsAlive(readiness);
  EXPECT_TRUE(readiness.remoteReady);

  sdk::SDK_CloudAction action = sdk::CLOUD_ACTION_NONE;
  EXPECT_EQ(engine->RemoteSessionSync("{}", 1, "a@b.c", &action), 0);
  EXPECT_EQ(engine->RemoteSessionSync("{}", 7, "a@b.c", &action), kErrorInvalidArgument);
  EXPECT_EQ(engine->RemoteMatch(Context(kCorrelationId), nullptr, 1), kErrorInvalidArgument);
  EXPECT_EQ(engine->StartRemoteBiometricData(nullptr, 0), kErrorInvalidArgument);
}

}  // namespace
}  // namespace keystead::sim::test
