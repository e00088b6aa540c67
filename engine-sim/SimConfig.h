#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "plugin/sdk/SDKExport.h"
#include "plugin/sdk/SDKTypes.h"

namespace keystead::sim {

namespace sdk = Corvane::QAV::SDK;

// The engine's notification targets, as a test or a timeline event names them.
enum class Listener {
  Frame,
  Enroll,
  ProcessedFrames,
  RemoteMatch,
  HybridMatch,
  DeviceAuthenticated
};

enum class EventType {
  Feedback,             // enrollment feedback (code, description)
  ProcessedFrames,      // `frameCount` processed frames
  Error,                // SDK_ERROR (source, code, description) to `target`
  Result,               // the final match feedback; its correlationId becomes the context's
  DeviceAuthenticated,  // the device-authenticated notice (first, second)
};

// One step of an enrollment or match timeline. Only the fields of its type are read.
struct TimelineEvent {
  EventType type = EventType::Feedback;
  std::chrono::milliseconds after{0};  // wait after the previous event (or the operation start)
  std::int32_t code = 0;
  std::string description;
  std::int32_t source = 4;
  std::optional<Listener> target;  // Error: defaults to the operation's feedback listener
  int frameCount = 3;
  sdk::SDK_RemoteMatchFeedback result;
  std::string first;
  std::string second;
};

struct CameraSettings {
  int width = 640;
  int height = 480;
  int channels = 3;
  double fps = 15;
  bool autoFrames = true;  // false: only frames pushed through the control header arrive
};

// Most settings SetLocalSetting keeps; a new id beyond it fails with 1168.
inline constexpr std::size_t kMaxSettings = 256;

// Everything the engine answers with. A fresh process starts from DefaultConfig()
// with the scenario file of KEYSTEAD_SIM_SCENARIO applied on top.
struct Config {
  bool factoryFails = false;  // CreateFaceLogin returns null
  sdk::ServiceReadiness readiness{true, true};
  // When set, a successful RetryRemoteOperations switches the readiness to this.
  std::optional<sdk::ServiceReadiness> readinessAfterRetry;
  sdk::EngineStatus status;
  std::map<std::string, sdk::LocalSetting> settings;  // by id
  std::vector<sdk::VideoDevice> videoDevices;
  std::int32_t videoStatus = 1;
  sdk::RemoteUserList remoteUsers;
  std::vector<sdk::CloudServer> cloudServers;
  std::string deviceContextAnswer;
  std::optional<std::string> signPacketAnswer;  // unset: built from the request body
  std::string verifyRatToken;
  std::string newPairedDevicesAnswer;
  std::int32_t fingerprintFactorStatus = 0;
  sdk::MatchResult fingerprintResult;       // AuthenticateFingerprint
  sdk::MatchResult addCADeviceResult;       // AddCADevice
  sdk::MatchResult caAuthenticationResult;  // AuthenticateWithCADevice
  CameraSettings camera;
  bool autoTimelines = true;  // false: enrollments and matches emit nothing by themselves
  // Keyed "enrollment" (RemoteEnroll, HybridEnroll), "match" (RemoteMatch, LocalMatch,
  // TryLocalMatch, AddDeviceMatch) or an operation name, which wins over its group.
  std::map<std::string, std::vector<TimelineEvent>> timelines;
};

// The believable built-in defaults (two virtual cameras, settings, status 3, timelines).
KS_SDK_API Config DefaultConfig();

}  // namespace keystead::sim
