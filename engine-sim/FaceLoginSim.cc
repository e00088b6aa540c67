#include "engine-sim/FaceLoginSim.h"

#include <json/json.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <utility>

#include "engine-sim/SimControl.h"
#include "os/ascii_text.h"

namespace keystead::sim {
namespace {

std::string Text(const void* pointer) { return pointer != nullptr ? "set" : "null"; }
std::string Text(bool flag) { return flag ? "true" : "false"; }
std::string Text(int number) { return std::to_string(number); }
std::string Text(const int* number) { return number != nullptr ? Text(*number) : "null"; }
std::string Text(const sdk::SDK_CloudAction* action) {
  return action != nullptr ? Text(static_cast<int>(*action)) : "null";
}

// FNV-1a: a stable stand-in signature, so the same body always signs the same.
std::string Fingerprint(const std::string& text) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const unsigned char byte : text) {
    hash ^= byte;
    hash *= 1099511628211ULL;
  }
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return hex;
}

// {"HeaderPayload": {...}, "BodyPayload": the request as JSON, or as text when it is not JSON}.
std::string SignedAnswer(const std::string& body) {
  Json::Value answer(Json::objectValue);
  Json::Value& headers = answer["HeaderPayload"];
  headers["Algorithm"] = "KS-SIM-FNV1A";
  headers["KeyId"] = "ks-sim-key-1";
  headers["Signature"] = Fingerprint(body);
  Json::Value parsed;
  Json::CharReaderBuilder builder;
  const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  const bool isJson = reader->parse(body.data(), body.data() + body.size(), &parsed, nullptr);
  answer["BodyPayload"] = isJson ? parsed : Json::Value(body);
  return Json::FastWriter().write(answer);
}

bool HasSelectedCamera(const Config& config) {
  return std::any_of(config.videoDevices.begin(), config.videoDevices.end(),
                     [](const sdk::VideoDevice& device) { return device.selected; });
}

const std::vector<TimelineEvent>* TimelineFor(const Config& config, const std::string& operation,
                                              const char* group) {
  auto found = config.timelines.find(operation);
  if (found == config.timelines.end()) found = config.timelines.find(group);
  return found == config.timelines.end() ? nullptr : &found->second;
}

}  // namespace

FaceLoginSim::FaceLoginSim()
    : state_(SimState::Instance()),
      camera_([this] { return state_.Read([](const Config& config) { return config.camera; }); }) {}

FaceLoginSim::~FaceLoginSim() {
  // Stop frames first; the event thread is joined next, by its member's destructor.
  camera_.Stop();
}

int FaceLoginSim::Initialize(int mode) { return state_.BeginCall("Initialize", {Text(mode)}); }

int FaceLoginSim::StartRemoteBiometricData(sdk::FrameCallback* frameCallback, int previewType) {
  const int code =
      state_.BeginCall("StartRemoteBiometricData", {Text(frameCallback), Text(previewType)});
  if (code != 0) return code;
  if (frameCallback == nullptr) return kErrorInvalidArgument;
  const int started = camera_.Start(frameCallback);
  if (started != 0) return started;
  if (!state_.Read(HasSelectedCamera)) {
    sdk::SDK_ERROR error;
    error.source = 4;
    error.code = kErrorNoCamera;
    error.description = "No camera selected";
    camera_.Deliver([error](sdk::FrameCallback& callback) { callback.OnError(error); }, false);
  }
  return 0;
}

int FaceLoginSim::StopRemoteBiometricData() {
  const int code = state_.BeginCall("StopRemoteBiometricData", {});
  if (code != 0) return code;
  timeline_.CancelScheduled();
  camera_.Stop();
  return 0;
}

int FaceLoginSim::LocalMatch(sdk::HybridMatchCallback* hybridCallback,
                             sdk::EnrollCallback* enrollCallback, int liveness,
                             const sdk::MatchContext& context, int caller) {
  const int code = state_.BeginCall(
      "LocalMatch", {Text(hybridCallback), Text(enrollCallback), Text(liveness), context.content,
                     context.correlationId, context.email, Text(caller)});
  if (code != 0) return code;
  if (hybridCallback == nullptr || enrollCallback == nullptr) return kErrorInvalidArgument;
  StartOperation("LocalMatch", "match", {.enroll = enrollCallback, .hybrid = hybridCallback},
                 context.correlationId);
  return 0;
}

int FaceLoginSim::TryLocalMatch(sdk::HybridMatchCallback* hybridCallback,
                                sdk::EnrollCallback* enrollCallback, int liveness,
                                const sdk::MatchContext& context, int caller,
                                const std::string& idToken) {
  const int code = state_.BeginCall(
      "TryLocalMatch", {Text(hybridCallback), Text(enrollCallback), Text(liveness), context.content,
                        context.correlationId, context.email, Text(caller), idToken});
  if (code != 0) return code;
  if (hybridCallback == nullptr || enrollCallback == nullptr || idToken.empty()) {
    return kErrorInvalidArgument;
  }
  StartOperation("TryLocalMatch", "match", {.enroll = enrollCallback, .hybrid = hybridCallback},
                 context.correlationId);
  return 0;
}

int FaceLoginSim::IsAlive(sdk::ServiceReadiness& readiness) {
  const int code = state_.BeginCall("IsAlive", {});
  readiness = state_.Read([](const Config& config) { return config.readiness; });
  return code;
}

int FaceLoginSim::VerifyRat(const std::string& rat, int flags, std::string& signedToken) {
  const int code = state_.BeginCall("VerifyRat", {rat, Text(flags)});
  signedToken = state_.Read([](const Config& config) { return config.verifyRatToken; });
  if (code != 0) return code;
  if (rat.empty()) {
    signedToken.clear();
    return kErrorInvalidArgument;
  }
  return 0;
}

int FaceLoginSim::RetryRemoteOperations(int mode) {
  const int code = state_.BeginCall("RetryRemoteOperations", {Text(mode)});
  if (code != 0) return code;
  state_.Edit([](Config& config) {
    if (config.readinessAfterRetry) config.readiness = *config.readinessAfterRetry;
  });
  return 0;
}

int FaceLoginSim::RemoteEnroll(sdk::ProcessedFramesCallback* processedCallback,
                               sdk::EnrollCallback* enrollCallback) {
  const int code =
      state_.BeginCall("RemoteEnroll", {Text(processedCallback), Text(enrollCallback)});
  if (code != 0) return code;
  return StartEnrollment("RemoteEnroll", processedCallback, enrollCallback);
}

int FaceLoginSim::HybridEnroll(sdk::ProcessedFramesCallback* processedCallback,
                               sdk::EnrollCallback* enrollCallback,
                               const std::string& transactionId, bool reEnroll,
                               const std::string& email) {
  const int code = state_.BeginCall("HybridEnroll", {Text(processedCallback), Text(enrollCallback),
                                                     transactionId, Text(reEnroll), email});
  if (code != 0) return code;
  return StartEnrollment("HybridEnroll", processedCallback, enrollCallback);
}

int FaceLoginSim::StartEnrollment(const char* operation,
                                  sdk::ProcessedFramesCallback* processedCallback,
                                  sdk::EnrollCallback* enrollCallback) {
  if (processedCallback == nullptr || enrollCallback == nullptr) return kErrorInvalidArgument;
  StartOperation(operation, "enrollment",
                 {.enroll = enrollCallback, .processed = processedCallback}, "");
  return 0;
}

int FaceLoginSim::AddDeviceMatch(sdk::HybridMatchCallback* hybridCallback,
                                 sdk::EnrollCallback* enrollCallback, int liveness,
                                 const sdk::MatchContext& context,
                                 const std::string& transactionId) {
  const int code = state_.BeginCall(
      "AddDeviceMatch", {Text(hybridCallback), Text(enrollCallback), Text(liveness),
                         context.content, context.correlationId, context.email, transactionId});
  if (code != 0) return code;
  if (hybridCallback == nullptr || enrollCallback == nullptr) return kErrorInvalidArgument;
  StartOperation("AddDeviceMatch", "match", {.enroll = enrollCallback, .hybrid = hybridCallback},
                 context.correlationId);
  return 0;
}

int FaceLoginSim::RemoteMatch(const sdk::MatchContext& context,
                              sdk::RemoteMatchCallback* matchCallback, int liveness) {
  const int code = state_.BeginCall(
      "RemoteMatch",
      {context.content, context.correlationId, context.email, Text(matchCallback), Text(liveness)});
  if (code != 0) return code;
  if (matchCallback == nullptr) return kErrorInvalidArgument;
  StartOperation("RemoteMatch", "match", {.remoteMatch = matchCallback}, context.correlationId);
  return 0;
}

int FaceLoginSim::AddFingerprintFactor(int& status, const std::string& email,
                                       const std::string& clientId, const std::string& culture,
                                       const std::string& idToken) {
  const int code = state_.BeginCall("AddFingerprintFactor", {email, clientId, culture, idToken});
  status = state_.Read([](const Config& config) { return config.fingerprintFactorStatus; });
  return code;
}

int FaceLoginSim::AuthenticateFingerprint(sdk::MatchResult& result, const std::string& email,
                                          const std::string& clientId, const std::string& culture,
                                          const std::string& transactionId,
                                          const std::string& nonce, const std::string& version) {
  const int code = state_.BeginCall("AuthenticateFingerprint",
                                    {email, clientId, culture, transactionId, nonce, version});
  result = state_.Read([](const Config& config) { return config.fingerprintResult; });
  return code;
}

int FaceLoginSim::GetServiceStatus(sdk::EngineStatus& status) {
  const int code = state_.BeginCall("GetServiceStatus", {});
  status = state_.Read([](const Config& config) { return config.status; });
  return code;
}

int FaceLoginSim::SignPacket(const std::string& body, std::string& answer) {
  const int code = state_.BeginCall("SignPacket", {body});
  const auto scripted = state_.Read([](const Config& config) { return config.signPacketAnswer; });
  answer = scripted ? *scripted : SignedAnswer(body);
  return code;
}

int FaceLoginSim::GetDeviceContext(const std::string& body, std::string& answer) {
  const int code = state_.BeginCall("GetDeviceContext", {body});
  answer = state_.Read([](const Config& config) { return config.deviceContextAnswer; });
  return code;
}

int FaceLoginSim::ReportMetric(const std::string& source, int eventId, int severity,
                               const std::string& data, const std::string& category) {
  return state_.BeginCall("ReportMetric", {source, Text(eventId), Text(severity), data, category});
}

int FaceLoginSim::SelectVideoDevice(const std::string& name) {
  const int code = state_.BeginCall("SelectVideoDevice", {name});
  if (code != 0) return code;
  int result = kErrorNotFound;
  state_.Edit([&](Config& config) {
    auto& devices = config.videoDevices;
    const bool known =
        std::any_of(devices.begin(), devices.end(),
                    [&](const sdk::VideoDevice& device) { return device.name == name; });
    if (!known) return;
    for (sdk::VideoDevice& device : devices) device.selected = device.name == name;
    result = 0;
  });
  return result;
}

int FaceLoginSim::ListVideoDevices(std::vector<sdk::VideoDevice>& devices) {
  const int code = state_.BeginCall("ListVideoDevices", {});
  devices = state_.Read([](const Config& config) { return config.videoDevices; });
  return code;
}

int FaceLoginSim::QueryVideoDeviceStatus(int& status) {
  const int code = state_.BeginCall("QueryVideoDeviceStatus", {});
  status = state_.Read([](const Config& config) { return config.videoStatus; });
  return code;
}

int FaceLoginSim::ListRemoteUsers(sdk::RemoteUserList& users, const std::string& email) {
  const int code = state_.BeginCall("ListRemoteUsers", {email});
  users = state_.Read([](const Config& config) { return config.remoteUsers; });
  // The engine knows the users of one address; no address means all of them.
  if (!email.empty()) {
    std::erase_if(users.users, [&](const sdk::RemoteUser& user) {
      return !os::EqualsIgnoringCase(user.email, email);
    });
  }
  return code;
}

int FaceLoginSim::ListCloudServers(std::vector<sdk::CloudServer>& servers) {
  const int code = state_.BeginCall("ListCloudServers", {});
  servers = state_.Read([](const Config& config) { return config.cloudServers; });
  return code;
}

int FaceLoginSim::RemoteSessionSync(const std::string& args, int operation,
                                    const std::string& email, sdk::SDK_CloudAction* cloudAction) {
  const int code =
      state_.BeginCall("RemoteSessionSync", {args, Text(operation), email, Text(cloudAction)});
  if (code != 0) return code;
  constexpr int kLastOperation = 3;  // ENROLL, LOGIN, RESET_OTP, SWITCH_TO_SW
  return operation >= 0 && operation <= kLastOperation ? 0 : kErrorInvalidArgument;
}

int FaceLoginSim::SetFaceIndicatorColor(int* color) {
  return StoreNumberSetting("SetFaceIndicatorColor", "BCA_FACE_INDICATOR_COLOR", color);
}

int FaceLoginSim::SetPreviewType(int* previewType) {
  return StoreNumberSetting("SetPreviewType", "BCA_PREVIEW_TYPE", previewType);
}

int FaceLoginSim::StoreNumberSetting(const char* operation, const char* id, const int* value) {
  const int code = state_.BeginCall(operation, {Text(value)});
  if (code != 0) return code;
  if (value == nullptr) return kErrorInvalidArgument;
  state_.Edit([&](Config& config) {
    sdk::LocalSetting& setting = config.settings[id];
    setting.id = id;
    setting.value = std::to_string(*value);
  });
  return 0;
}

int FaceLoginSim::SetLocalSetting(const sdk::LocalSetting& setting) {
  const int code =
      state_.BeginCall("SetLocalSetting", {setting.id, setting.value, setting.availableValues,
                                           setting.display, setting.supported, setting.reserved});
  if (code != 0) return code;
  if (setting.id.empty()) return kErrorInvalidArgument;
  int result = 0;
  state_.Edit([&](Config& config) {
    const auto known = config.settings.find(setting.id);
    if (known == config.settings.end()) {
      if (config.settings.size() >= kMaxSettings) {
        result = kErrorNotFound;
      } else {
        config.settings.emplace(setting.id, setting);
      }
      return;
    }
    // Callers send only what they change; keep the rest of the known setting.
    sdk::LocalSetting& stored = known->second;
    stored.value = setting.value;
    if (!setting.availableValues.empty()) stored.availableValues = setting.availableValues;
    if (!setting.display.empty()) stored.display = setting.display;
    if (!setting.supported.empty()) stored.supported = setting.supported;
  });
  return result;
}

int FaceLoginSim::GetEngineSetting(sdk::LocalSetting& setting, const std::string& name) {
  const int code = state_.BeginCall("GetEngineSetting", {name});
  const bool found = state_.Read([&](const Config& config) {
    const auto entry = config.settings.find(name);
    setting = entry != config.settings.end() ? entry->second : sdk::LocalSetting{};
    return entry != config.settings.end();
  });
  if (code != 0) return code;
  return found ? 0 : kErrorNotFound;
}

int FaceLoginSim::GetNewPairedDevices(std::string& answer, const std::string& devices) {
  const int code = state_.BeginCall("GetNewPairedDevices", {devices});
  answer = state_.Read([](const Config& config) { return config.newPairedDevicesAnswer; });
  return code;
}

int FaceLoginSim::AddCADevice(sdk::MatchResult& result, const std::string& email,
                              const std::string& device, const std::string& clientId,
                              const std::string& culture, const std::string& idToken) {
  const int code = state_.BeginCall("AddCADevice", {email, device, clientId, culture, idToken});
  result = state_.Read([](const Config& config) { return config.addCADeviceResult; });
  return code;
}

int FaceLoginSim::AuthenticateWithCADevice(sdk::MatchResult& result, const std::string& email,
                                           const std::string& clientId,
                                           const std::string& culture) {
  const int code = state_.BeginCall("AuthenticateWithCADevice", {email, clientId, culture});
  result = state_.Read([](const Config& config) { return config.caAuthenticationResult; });
  return code;
}

int FaceLoginSim::SetDeviceAuthenticatedCallback(sdk::DeviceAuthenticatedCallback* callback) {
  const int code = state_.BeginCall("SetDeviceAuthenticatedCallback", {Text(callback)});
  if (code != 0) return code;
  std::lock_guard<std::mutex> lock(callbacksMutex_);
  registered_.device = callback;
  return 0;
}

void FaceLoginSim::StartOperation(const std::string& operation, const char* group,
                                  const Callbacks& callbacks, const std::string& correlationId) {
  Callbacks targets = callbacks;
  {
    std::lock_guard<std::mutex> lock(callbacksMutex_);
    if (callbacks.enroll != nullptr) registered_.enroll = callbacks.enroll;
    if (callbacks.processed != nullptr) registered_.processed = callbacks.processed;
    if (callbacks.remoteMatch != nullptr) registered_.remoteMatch = callbacks.remoteMatch;
    if (callbacks.hybrid != nullptr) registered_.hybrid = callbacks.hybrid;
    targets.device = registered_.device;
  }
  timeline_.CancelScheduled();
  const auto events = state_.Read([&](const Config& config) {
    const std::vector<TimelineEvent>* timeline = TimelineFor(config, operation, group);
    return config.autoTimelines && timeline != nullptr ? *timeline : std::vector<TimelineEvent>{};
  });
  std::chrono::milliseconds at(0);
  for (const TimelineEvent& event : events) {
    at += event.after;
    if (event.type == EventType::Error && event.target == Listener::Frame) {
      const sdk::SDK_ERROR error{event.source, event.code, event.description, "", 0, ""};
      timeline_.Schedule(at, [this, error] {
        camera_.Deliver([error](sdk::FrameCallback& callback) { callback.OnError(error); }, false);
      });
      continue;
    }
    timeline_.Schedule(
        at, [event, targets, correlationId] { DeliverEvent(event, targets, correlationId); });
  }
}

Callbacks FaceLoginSim::Registered() const {
  std::lock_guard<std::mutex> lock(callbacksMutex_);
  return registered_;
}

bool FaceLoginSim::PushFrame(const sdk::SDK_Frame& frame) {
  return camera_.Deliver([&frame](sdk::FrameCallback& callback) { callback.OnFrame(frame); }, true);
}

bool FaceLoginSim::PushError(Listener target, const sdk::SDK_ERROR& error) {
  if (target == Listener::Frame) {
    return camera_.Deliver([&error](sdk::FrameCallback& callback) { callback.OnError(error); },
                           true);
  }
  sdk::IListener* listener = ListenerFor(Registered(), target);
  return listener != nullptr && timeline_.RunNow([&] { listener->OnError(error); });
}

bool FaceLoginSim::PushEnrollmentFeedback(const sdk::SDK_EnrollmentFeedback& feedback) {
  sdk::EnrollCallback* callback = Registered().enroll;
  return callback != nullptr && timeline_.RunNow([&] { callback->OnEnrollmentFeedback(feedback); });
}

bool FaceLoginSim::PushProcessedFrames(const sdk::SDK_ProcessedFramesContainer& frames) {
  sdk::ProcessedFramesCallback* callback = Registered().processed;
  return callback != nullptr && timeline_.RunNow([&] { callback->OnProcessedFrames(frames); });
}

bool FaceLoginSim::PushRemoteMatchFeedback(const sdk::SDK_RemoteMatchFeedback& feedback) {
  sdk::RemoteMatchCallback* callback = Registered().remoteMatch;
  return callback != nullptr &&
         timeline_.RunNow([&] { callback->OnRemoteMatchFeedback(feedback); });
}

bool FaceLoginSim::PushHybridMatchFeedback(const sdk::SDK_RemoteMatchFeedback& feedback) {
  sdk::HybridMatchCallback* callback = Registered().hybrid;
  return callback != nullptr &&
         timeline_.RunNow([&] { callback->OnHybridMatchFeedback(feedback); });
}

bool FaceLoginSim::PushDeviceAuthenticated(const std::string& first, const std::string& second) {
  sdk::DeviceAuthenticatedCallback* callback = Registered().device;
  return callback != nullptr &&
         timeline_.RunNow([&] { callback->OnDeviceAuthenticated(first, second); });
}

}  // namespace keystead::sim

std::shared_ptr<Corvane::QAV::SDK::FaceLogin> CreateFaceLogin() {
  using keystead::sim::SimState;
  SimState& state = SimState::Instance();
  const int code = state.BeginCall("CreateFaceLogin", {});
  if (code != 0 ||
      state.Read([](const keystead::sim::Config& config) { return config.factoryFails; })) {
    return nullptr;
  }
  auto engine = std::make_shared<keystead::sim::FaceLoginSim>();
  state.SetCurrentEngine(engine);
  return engine;
}
