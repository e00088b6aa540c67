// Scripted result codes and out-values, and the log of recorded calls.
#include <future>

#include "SimTestSupport.h"

namespace keystead::sim::test {
namespace {

using ScriptingTest = SimTest;
using CallLogConcurrencyTest = SimTest;

TEST_F(ScriptingTest, SequenceOfCodesFailsThenSucceedsAndStillWritesOutValues) {
  ASSERT_TRUE(SetResults("SignPacket", {5, 0}));
  std::string answer;
  EXPECT_EQ(engine->SignPacket("{}", answer), 5);
  EXPECT_FALSE(answer.empty());
  EXPECT_EQ(engine->SignPacket("{}", answer), 0);
  EXPECT_EQ(engine->SignPacket("{}", answer), 0);

  ASSERT_TRUE(SetResult("AuthenticateFingerprint", 100));
  Configure([](Config& config) { config.fingerprintResult = {100, ""}; });
  sdk::MatchResult result{7, "stale"};
  EXPECT_EQ(engine->AuthenticateFingerprint(result, "e", "c", "en", "t", "n", "1"), 100);
  EXPECT_EQ(result.status, 100);
  EXPECT_EQ(result.response, "");

  ASSERT_TRUE(SetResults("SignPacket", {}));
  EXPECT_EQ(engine->SignPacket("{}", answer), 0);
  EXPECT_FALSE(SetResult("SignPackets", 1)) << "a misspelt operation is refused";
}

TEST_F(ScriptingTest, AFailingStartStartsNothing) {
  ASSERT_TRUE(SetResult("StartRemoteBiometricData", 9));
  ASSERT_TRUE(SetResult("RemoteEnroll", 4));
  ASSERT_TRUE(SetResult("SelectVideoDevice", 12));
  EXPECT_EQ(engine->StartRemoteBiometricData(&listener, 0), 9);
  EXPECT_EQ(engine->RemoteEnroll(&listener, &listener), 4);
  EXPECT_EQ(engine->SelectVideoDevice("Keystead Virtual IR Camera"), 12);

  EXPECT_FALSE(PushFrame(sdk::SDK_Frame{}));
  EXPECT_FALSE(PushEnrollmentFeedback({}));
  EXPECT_TRUE(CurrentConfig().videoDevices[0].selected);
  std::this_thread::sleep_for(50ms);
  EXPECT_TRUE(listener.Read([&] { return listener.threads.empty(); }));
}

TEST_F(ScriptingTest, FactoryReturnsNullWhenToldTo) {
  Configure([](Config& config) { config.factoryFails = true; });
  EXPECT_EQ(CreateFaceLogin(), nullptr);
  Configure([](Config& config) { config.factoryFails = false; });
  ASSERT_TRUE(SetResults("CreateFaceLogin", {3, 0}));
  EXPECT_EQ(CreateFaceLogin(), nullptr);
  EXPECT_NE(CreateFaceLogin(), nullptr);
  EXPECT_EQ(CallCount("CreateFaceLogin"), 4u);  // the fixture's engine too
}

TEST_F(ScriptingTest, RecordsEveryCallWithItsArguments) {
  ClearCalls();
  int color = 2;
  sdk::SDK_CloudAction action = sdk::CLOUD_ACTION_2;
  std::string answer;
  engine->LocalMatch(&listener, &listener, 1, Context(kCorrelationId), 3);
  engine->HybridEnroll(&listener, nullptr, "tx-9", true, "a@b.c");
  EXPECT_EQ(engine->SetFaceIndicatorColor(&color), 0);
  EXPECT_EQ(engine->SetPreviewType(nullptr), kErrorInvalidArgument);
  engine->RemoteSessionSync("{}", 1, "a@b.c", &action);
  engine->SetLocalSetting({"KS_X", "v", "", "Shown", "1", ""});
  engine->GetNewPairedDevices(answer, R"([{"id":1}])");

  const std::vector<Call> expected = {
      {"LocalMatch", {"set", "set", "1", Context("").content, kCorrelationId, "a@b.c", "3"}},
      {"HybridEnroll", {"set", "null", "tx-9", "true", "a@b.c"}},
      {"SetFaceIndicatorColor", {"2"}},
      {"SetPreviewType", {"null"}},
      {"RemoteSessionSync", {"{}", "1", "a@b.c", "2"}},
      {"SetLocalSetting", {"KS_X", "v", "", "Shown", "1", ""}},
      {"GetNewPairedDevices", {R"([{"id":1}])"}},
  };
  const std::vector<Call> calls = Calls();
  ASSERT_EQ(calls.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(calls[i].operation, expected[i].operation);
    EXPECT_EQ(calls[i].args, expected[i].args) << expected[i].operation;
  }
  EXPECT_EQ(CallCount("SetPreviewType"), 1u);
  EXPECT_EQ(CallsTo("HybridEnroll").size(), 1u);
}

TEST_F(ScriptingTest, KeepsTheArgumentsOfARecentWindowOnlyButCountsEveryCall) {
  ClearCalls();
  constexpr int kBeyondWindow = 10;
  const int total = static_cast<int>(kCallWindow) + kBeyondWindow;
  for (int eventId = 0; eventId < total; ++eventId) {
    engine->ReportMetric("page", eventId, 1, "{}", "ui");
  }
  sdk::ServiceReadiness readiness;
  engine->IsAlive(readiness);

  EXPECT_EQ(CallCount("ReportMetric"), static_cast<std::size_t>(total));
  EXPECT_TRUE(WaitForCall("ReportMetric", total, 0ms));
  const std::vector<Call> calls = Calls();
  ASSERT_EQ(calls.size(), kCallWindow);
  EXPECT_EQ(calls.back().operation, "IsAlive");
  // The oldest calls went first.
  const std::vector<Call> metrics = CallsTo("ReportMetric");
  ASSERT_EQ(metrics.size(), kCallWindow - 1);
  EXPECT_EQ(metrics.front().args[1], std::to_string(kBeyondWindow + 1));
  EXPECT_EQ(metrics.back().args[1], std::to_string(total - 1));

  ClearCalls();
  EXPECT_EQ(CallCount("ReportMetric"), 0u);
  EXPECT_TRUE(Calls().empty());
}

TEST_F(CallLogConcurrencyTest, WaitForCallSeesACallFromAnotherThread) {
  EXPECT_FALSE(WaitForCall("ReportMetric", 1, 10ms));
  auto caller = std::async(std::launch::async, [&] {
    std::this_thread::sleep_for(20ms);
    return engine->ReportMetric("page", 42, 1, "{}", "ui");
  });
  EXPECT_TRUE(WaitForCall("ReportMetric", 1, 5s));
  EXPECT_EQ(caller.get(), 0);
  EXPECT_EQ(CallsTo("ReportMetric")[0].args,
            (std::vector<std::string>{"page", "42", "1", "{}", "ui"}));
}

TEST_F(ScriptingTest, OutValuesFollowTheConfiguration) {
  Configure([](Config& config) {
    config.readiness = {true, false};
    config.status = {1, 0, 1, 2, "AFF"};
    config.videoDevices.clear();
    config.videoStatus = 0;
    config.cloudServers = {{"K", "p", "s"}};
    config.deviceContextAnswer = "not json";
    config.signPacketAnswer = R"({"HeaderPayload":{}})";
    config.fingerprintFactorStatus = 101;
    config.caAuthenticationResult = {7682, ""};
  });
  sdk::ServiceReadiness readiness;
  sdk::EngineStatus status;
  std::vector<sdk::VideoDevice> devices{{"stale", 1, true}};
  std::vector<sdk::CloudServer> servers;
  int videoStatus = 9;
  int fpStatus = 100;
  std::string context;
  std::string signature;
  sdk::MatchResult ca;
  EXPECT_EQ(engine->IsAlive(readiness), 0);
  EXPECT_EQ(engine->GetServiceStatus(status), 0);
  EXPECT_EQ(engine->ListVideoDevices(devices), 0);
  EXPECT_EQ(engine->QueryVideoDeviceStatus(videoStatus), 0);
  EXPECT_EQ(engine->ListCloudServers(servers), 0);
  EXPECT_EQ(engine->GetDeviceContext("{}", context), 0);
  EXPECT_EQ(engine->SignPacket("{}", signature), 0);
  EXPECT_EQ(engine->AddFingerprintFactor(fpStatus, "e", "c", "en", "tok"), 0);
  EXPECT_EQ(engine->AuthenticateWithCADevice(ca, "e", "c", "en"), 0);

  EXPECT_FALSE(readiness.remoteReady);
  EXPECT_EQ(status.fingerprintFactor, 2);
  EXPECT_EQ(status.affID, "AFF");
  EXPECT_TRUE(devices.empty());
  EXPECT_EQ(videoStatus, 0);
  ASSERT_EQ(servers.size(), 1u);
  EXPECT_EQ(servers[0].secondaryUri, "s");
  EXPECT_EQ(context, "not json");
  EXPECT_EQ(signature, R"({"HeaderPayload":{}})");
  EXPECT_EQ(fpStatus, 101);
  EXPECT_EQ(ca.status, 7682);
}

}  // namespace
}  // namespace keystead::sim::test
