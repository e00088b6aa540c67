#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Corvane::QAV::SDK {

// Result of every engine operation; 0 is success, anything else an engine code.
using SDK_QAVServiceAPIErrorCode = int;
inline constexpr SDK_QAVServiceAPIErrorCode SDK_SUCCESS = 0;

enum SDK_Livenesstype : int { NONE = 0, BLINK = 1, BLINK_STRICT = 2, PASSIVE = 3 };

// What the cloud session should do after a session sync.
enum SDK_CloudAction : int { CLOUD_ACTION_NONE = 0, CLOUD_ACTION_1 = 1, CLOUD_ACTION_2 = 2 };

struct SDK_Vector3 {
  double x = 0;
  double y = 0;
  double z = 0;
};

struct SDK_FacePoint {
  double x = 0;
  double y = 0;
};

struct SDK_FaceCoords {
  SDK_Vector3 rotation;
  SDK_Vector3 translation;
  std::vector<SDK_FacePoint> points;
};

// One camera frame. image holds the raw pixel bytes (width x height x channels).
struct SDK_Frame {
  std::string image;
  std::int32_t version = 0;
  std::int32_t channels = 0;
  std::int32_t depth = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::int32_t frameSize = 0;
  std::int32_t isProcessed = 0;
  std::int32_t faceQuality = 0;
  SDK_FaceCoords faceCoords;
};

struct SDK_ERROR {
  std::int32_t source = 0;
  std::int32_t code = 0;
  std::string description;
  std::string cloudError;
  std::int32_t templateCount = 0;
  std::string liveness;
};

struct SDK_EnrollmentFeedback {
  std::string description;
  std::int32_t code = 0;
  SDK_Frame frame;
};

struct SDK_ProcessedFrame {
  std::string image;
  std::string attestedData;
  std::string jwtCert;
};

struct SDK_ProcessedFramesContainer {
  std::vector<SDK_ProcessedFrame> frames;
};

struct SDK_OobDevice {
  std::string deviceId;
  std::string deviceName;
  bool oobPreferred = false;
};

// Match progress and result: the error-like header of SDK_ERROR, then the
// outcome. correlationId is the Q-Correlation-Id of the request that started
// the match.
struct SDK_RemoteMatchFeedback : SDK_ERROR {
  bool matchStatus = false;
  bool localMatchStatus = false;
  bool blink = false;
  std::int32_t nextStep = 0;
  std::string idToken;
  std::string cloudKey;
  bool isTrustedDevice = false;
  std::string verificationEmail;
  std::vector<SDK_OobDevice> oobDevices;
  std::string state;
  std::string redirectUri;
  std::string authCode;
  std::int32_t altNextStep = 0;
  std::string correlationId;
};

// Filled by IsAlive.
struct ServiceReadiness {
  bool localReady = false;
  bool remoteReady = false;
};

// Filled by GetServiceStatus.
struct EngineStatus {
  std::int32_t status = 0;
  std::uint8_t deviceID = 0;
  std::uint8_t faceFactor = 0;
  std::uint8_t fingerprintFactor = 0;
  std::string affID;
};

// One engine setting, read by GetEngineSetting and written by SetLocalSetting.
struct LocalSetting {
  std::string id;
  std::string value;
  std::string availableValues;
  std::string display;
  std::string supported;
  std::string reserved;
};

struct VideoDevice {
  std::string name;
  std::int32_t id = 0;
  bool selected = false;
};

struct CloudServer {
  std::string key;
  std::string primaryUri;
  std::string secondaryUri;
};

struct RemoteUser {
  std::string email;
  std::string secondText;  // engine-internal; never shown to callers
  bool face = false;
  bool masterPassword = false;
  bool outOfBounds = false;
  bool emailVerified = false;
  std::int32_t securityLevel = 0;
  std::int32_t autoLockTime = 0;
  bool cloudKeyAvailable = false;
  bool fpEnabled = false;
  std::int32_t firstStep = 0;
  std::int32_t altFirstStep = 0;
};

struct RemoteUserList {
  std::vector<RemoteUser> users;
  bool fpAvailable = false;
};

// Outcome of a user-level cloud operation: the engine's status and the
// cloud's JSON answer (possibly empty).
struct MatchResult {
  std::int32_t status = 0;
  std::string response;
};

// Built per match request.
struct MatchContext {
  std::string content;
  std::string correlationId;
  std::string email;
};

}  // namespace Corvane::QAV::SDK
