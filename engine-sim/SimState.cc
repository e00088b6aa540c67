#include "engine-sim/SimState.h"

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <set>
#include <utility>

#include "engine-sim/ScenarioLoader.h"

namespace keystead::sim {
namespace {

constexpr const char* kScenarioVariable = "KEYSTEAD_SIM_SCENARIO";

}  // namespace

SimState& SimState::Instance() {
  static os::NeverDestroyed<SimState> state;
  return state.Get();
}

SimState::SimState() { ResetLocked(); }

void SimState::Reset() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ResetLocked();
  }
  recorder_.Clear();
}

void SimState::ResetLocked() {
  config_ = DefaultConfig();
  scripts_.clear();
  const char* path = std::getenv(kScenarioVariable);
  if (path == nullptr || *path == '\0') return;
  std::string text;
  std::string error;
  if (!ScenarioLoader::ReadFile(path, text, error) || !ApplyScenarioLocked(text, &error)) {
    // A broken scenario must not take the demo down: say so and keep the defaults.
    std::cerr << "keystead-sim: scenario " << path << " ignored: " << error << '\n';
  }
}

void SimState::Edit(const std::function<void(Config&)>& edit) {
  std::lock_guard<std::mutex> lock(mutex_);
  edit(config_);
}

Config SimState::Snapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return config_;
}

bool SimState::ApplyScenarioText(const std::string& text, std::string* error) {
  std::lock_guard<std::mutex> lock(mutex_);
  return ApplyScenarioLocked(text, error);
}

bool SimState::ApplyScenarioFile(const std::string& path, std::string* error) {
  std::string text;
  std::string message;
  if (!ScenarioLoader::ReadFile(path, text, message)) {
    if (error != nullptr) *error = message;
    return false;
  }
  return ApplyScenarioText(text, error);
}

bool SimState::ApplyScenarioLocked(const std::string& text, std::string* error) {
  ScenarioLoader::Scenario scenario;
  std::string message;
  if (!ScenarioLoader::Parse(text, config_, scenario, message)) {
    if (error != nullptr) *error = message;
    return false;
  }
  config_ = std::move(scenario.config);
  for (auto& [operation, codes] : scenario.results) scripts_[operation] = Script{codes, 0};
  return true;
}

bool SimState::SetResults(const std::string& operation, const std::vector<int>& codes) {
  if (!IsKnownOperation(operation)) return false;
  std::lock_guard<std::mutex> lock(mutex_);
  if (codes.empty()) {
    scripts_.erase(operation);
  } else {
    scripts_[operation] = Script{codes, 0};
  }
  return true;
}

int SimState::BeginCall(const std::string& operation, std::vector<std::string> args) {
  recorder_.Record(Call{operation, std::move(args)});
  std::lock_guard<std::mutex> lock(mutex_);
  auto found = scripts_.find(operation);
  if (found == scripts_.end()) return 0;
  Script& script = found->second;
  const int code = script.codes[std::min(script.next, script.codes.size() - 1)];
  if (script.next < script.codes.size()) ++script.next;
  return code;
}

void SimState::SetCurrentEngine(const std::shared_ptr<FaceLoginSim>& engine) {
  std::lock_guard<std::mutex> lock(mutex_);
  currentEngine_ = engine;
}

std::shared_ptr<FaceLoginSim> SimState::CurrentEngine() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return currentEngine_.lock();
}

bool SimState::IsKnownOperation(const std::string& operation) {
  return KnownOperations().count(operation) != 0;
}

const std::set<std::string>& SimState::KnownOperations() {
  static const std::set<std::string> kOperations = {"CreateFaceLogin",
                                                    "Initialize",
                                                    "StartRemoteBiometricData",
                                                    "StopRemoteBiometricData",
                                                    "LocalMatch",
                                                    "TryLocalMatch",
                                                    "IsAlive",
                                                    "VerifyRat",
                                                    "RetryRemoteOperations",
                                                    "RemoteEnroll",
                                                    "HybridEnroll",
                                                    "AddDeviceMatch",
                                                    "RemoteMatch",
                                                    "AddFingerprintFactor",
                                                    "AuthenticateFingerprint",
                                                    "GetServiceStatus",
                                                    "SignPacket",
                                                    "GetDeviceContext",
                                                    "ReportMetric",
                                                    "SelectVideoDevice",
                                                    "ListVideoDevices",
                                                    "QueryVideoDeviceStatus",
                                                    "ListRemoteUsers",
                                                    "ListCloudServers",
                                                    "RemoteSessionSync",
                                                    "SetFaceIndicatorColor",
                                                    "SetPreviewType",
                                                    "SetLocalSetting",
                                                    "GetEngineSetting",
                                                    "GetNewPairedDevices",
                                                    "AddCADevice",
                                                    "AuthenticateWithCADevice",
                                                    "SetDeviceAuthenticatedCallback"};
  return kOperations;
}

}  // namespace keystead::sim
