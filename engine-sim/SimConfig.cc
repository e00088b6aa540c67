#include "engine-sim/SimConfig.h"

#include <utility>

namespace keystead::sim {
namespace {

using std::chrono::milliseconds;

// An unsigned token of the demo user; the plug-in only passes it on.
constexpr const char* kIdToken =
    "eyJhbGciOiJub25lIiwidHlwIjoiSldUIn0."
    "eyJpc3MiOiJrZXlzdGVhZC1zaW0iLCJzdWIiOiJhbGV4Lm1vcmdhbkBleGFtcGxlLmNvbSJ9.";
constexpr const char* kRatToken =
    "eyJhbGciOiJub25lIiwidHlwIjoiSldUIn0.eyJpc3MiOiJrZXlzdGVhZC1zaW0iLCJzY29wZSI6InJhdCJ9.";
constexpr const char* kDemoEmail = "alex.morgan@example.com";

sdk::LocalSetting Setting(const char* id, const char* value, const char* availableValues,
                          const char* display) {
  return sdk::LocalSetting{id, value, availableValues, display, "1", ""};
}

std::map<std::string, sdk::LocalSetting> DefaultSettings() {
  const sdk::LocalSetting settings[] = {
      Setting("BCA_LIVENESS_TYPE_REMOTE_MATCH", "1", "0,1,2,3", "Liveness check for face login"),
      Setting("BCA_BLINK_DETECTION_ENROLLMENT", "0", "0,1", "Blink detection during enrollment"),
      Setting("BCA_FACE_INDICATOR_COLOR", "0", "0,1,2", "Face indicator colour"),
      Setting("BCA_PREVIEW_TYPE", "0", "0,1,2", "Camera preview type"),
      Setting("KS_CSP_DOMAIN_SUFIX", ".beta", "", "Cloud service domain suffix"),
  };
  std::map<std::string, sdk::LocalSetting> byId;
  for (const sdk::LocalSetting& setting : settings) byId.emplace(setting.id, setting);
  return byId;
}

sdk::RemoteUserList DefaultRemoteUsers() {
  sdk::RemoteUser user;
  user.email = kDemoEmail;
  user.secondText = "sim-internal-profile";
  user.face = true;
  user.masterPassword = true;
  user.emailVerified = true;
  user.securityLevel = 2;
  user.autoLockTime = 15;
  user.cloudKeyAvailable = true;
  user.firstStep = 1;
  user.altFirstStep = 2;
  return sdk::RemoteUserList{{user}, false};
}

TimelineEvent Feedback(milliseconds after, std::int32_t code, const char* description) {
  TimelineEvent event;
  event.type = EventType::Feedback;
  event.after = after;
  event.code = code;
  event.description = description;
  return event;
}

TimelineEvent ProcessedFrames(milliseconds after, int count) {
  TimelineEvent event;
  event.type = EventType::ProcessedFrames;
  event.after = after;
  event.frameCount = count;
  return event;
}

TimelineEvent MatchResult(milliseconds after) {
  TimelineEvent event;
  event.type = EventType::Result;
  event.after = after;
  event.result.matchStatus = true;
  event.result.localMatchStatus = true;
  event.result.idToken = kIdToken;
  event.result.cloudKey = "c2ltLWNsb3VkLWtleS0wMDAx";
  event.result.isTrustedDevice = true;
  event.result.liveness = "BLINK";
  return event;
}

}  // namespace

Config DefaultConfig() {
  Config config;
  config.status = sdk::EngineStatus{3, 1, 1, 1, "KSSIM01"};
  config.settings = DefaultSettings();
  config.videoDevices = {{"Keystead Virtual Camera", 0, true},
                         {"Keystead Virtual IR Camera", 1, false}};
  config.remoteUsers = DefaultRemoteUsers();
  config.cloudServers = {
      {"CSP", "https://csp.keystead.example/api", "https://csp-backup.keystead.example/api"},
      {"AUTH", "https://auth.keystead.example", "https://auth-backup.keystead.example"}};
  config.deviceContextAnswer =
      R"({"deviceId":"KS-SIM-DEVICE-0001","deviceName":"Keystead Simulator","os":"Linux",)"
      R"("tpmAvailable":false,"trusted":true})";
  config.verifyRatToken = kRatToken;
  config.newPairedDevicesAnswer =
      R"([{"deviceId":"sim-phone-01","deviceName":"Keystead Virtual Phone","oobPreferred":true}])";
  config.fingerprintResult = {
      0, std::string(R"({"idToken":")") + kIdToken +
             R"(","ProfileUId":"sim-profile-0001","RetryCount":0,)"
             R"("ResponseResult":{"TransactionId":"sim-tx-0001","ErrorCode":"0",)"
             R"("ErrorDescription":""},"cloudKey":"c2ltLWNsb3VkLWtleS0wMDAx",)"
             R"("isTrustedDevice":true})"};
  config.addCADeviceResult = {0, R"({"deviceId":"sim-phone-01","paired":true,)"
                                 R"("ResponseResult":{"ErrorCode":"0","ErrorDescription":""}})"};
  config.caAuthenticationResult = {
      0, std::string(R"({"deviceId":"sim-phone-01","idToken":")") + kIdToken +
             R"(","ResponseResult":{"ErrorCode":"0","ErrorDescription":""}})"};
  config.timelines["enrollment"] = {Feedback(milliseconds(400), 3, "Face not centered"),
                                    Feedback(milliseconds(500), 9, "Hold still"),
                                    ProcessedFrames(milliseconds(700), 3)};
  config.timelines["match"] = {Feedback(milliseconds(400), 3, "Face not centered"),
                               Feedback(milliseconds(500), 9, "Hold still"),
                               MatchResult(milliseconds(700))};
  return config;
}

}  // namespace keystead::sim
