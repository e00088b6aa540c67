#pragma once

#include <memory>
#include <string>
#include <vector>

#include "plugin/sdk/SDKCallbacks.h"
#include "plugin/sdk/SDKExport.h"
#include "plugin/sdk/SDKTypes.h"

namespace Corvane::QAV::SDK {

// The face-login engine. Every operation returns an SDK_QAVServiceAPIErrorCode
// (0 on success). Callback pointers stay owned by the caller and must outlive
// the operation they were given to (a capture until StopRemoteBiometricData
// returns). Operations may be called from several threads at once.
// The member order is the engine's binary interface: do not reorder.
class FaceLogin {
 public:
  virtual ~FaceLogin() = default;

  virtual int Initialize(int mode) = 0;
  virtual int StartRemoteBiometricData(FrameCallback* frameCallback, int previewType) = 0;
  // Once this returns, no frame callback is running or will run. Called from
  // inside a frame callback it only marks the stop.
  virtual int StopRemoteBiometricData() = 0;
  virtual int LocalMatch(HybridMatchCallback* hybridCallback, EnrollCallback* enrollCallback,
                         int liveness, const MatchContext& context, int caller) = 0;
  virtual int TryLocalMatch(HybridMatchCallback* hybridCallback, EnrollCallback* enrollCallback,
                            int liveness, const MatchContext& context, int caller,
                            const std::string& idToken) = 0;
  virtual int IsAlive(ServiceReadiness& readiness) = 0;
  virtual int VerifyRat(const std::string& rat, int flags, std::string& signedToken) = 0;
  virtual int RetryRemoteOperations(int mode) = 0;
  virtual int RemoteEnroll(ProcessedFramesCallback* processedCallback,
                           EnrollCallback* enrollCallback) = 0;
  virtual int HybridEnroll(ProcessedFramesCallback* processedCallback,
                           EnrollCallback* enrollCallback, const std::string& transactionId,
                           bool reEnroll, const std::string& email) = 0;
  virtual int AddDeviceMatch(HybridMatchCallback* hybridCallback, EnrollCallback* enrollCallback,
                             int liveness, const MatchContext& context,
                             const std::string& transactionId) = 0;
  virtual int RemoteMatch(const MatchContext& context, RemoteMatchCallback* matchCallback,
                          int liveness) = 0;
  virtual int AddFingerprintFactor(int& status, const std::string& email,
                                   const std::string& clientId, const std::string& culture,
                                   const std::string& idToken) = 0;
  virtual int AuthenticateFingerprint(MatchResult& result, const std::string& email,
                                      const std::string& clientId, const std::string& culture,
                                      const std::string& transactionId, const std::string& nonce,
                                      const std::string& version) = 0;
  virtual int GetServiceStatus(EngineStatus& status) = 0;
  virtual int SignPacket(const std::string& body, std::string& answer) = 0;
  virtual int GetDeviceContext(const std::string& body, std::string& answer) = 0;
  virtual int ReportMetric(const std::string& source, int eventId, int severity,
                           const std::string& data, const std::string& category) = 0;
  virtual int SelectVideoDevice(const std::string& name) = 0;
  virtual int ListVideoDevices(std::vector<VideoDevice>& devices) = 0;
  virtual int QueryVideoDeviceStatus(int& status) = 0;
  virtual int ListRemoteUsers(RemoteUserList& users, const std::string& email) = 0;
  virtual int ListCloudServers(std::vector<CloudServer>& servers) = 0;
  virtual int RemoteSessionSync(const std::string& args, int operation, const std::string& email,
                                SDK_CloudAction* cloudAction) = 0;
  virtual int SetFaceIndicatorColor(int* color) = 0;
  virtual int SetPreviewType(int* previewType) = 0;
  virtual int SetLocalSetting(const LocalSetting& setting) = 0;
  virtual int GetEngineSetting(LocalSetting& setting, const std::string& name) = 0;
  virtual int GetNewPairedDevices(std::string& answer, const std::string& devices) = 0;
  virtual int AddCADevice(MatchResult& result, const std::string& email, const std::string& device,
                          const std::string& clientId, const std::string& culture,
                          const std::string& idToken) = 0;
  virtual int AuthenticateWithCADevice(MatchResult& result, const std::string& email,
                                       const std::string& clientId, const std::string& culture) = 0;
  virtual int SetDeviceAuthenticatedCallback(DeviceAuthenticatedCallback* callback) = 0;
};

}  // namespace Corvane::QAV::SDK

// The engine's factory. Returns null when the engine cannot be created.
KS_SDK_API std::shared_ptr<Corvane::QAV::SDK::FaceLogin> CreateFaceLogin();
