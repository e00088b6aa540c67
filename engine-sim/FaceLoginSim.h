#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "engine-sim/EventDelivery.h"
#include "engine-sim/EventTimeline.h"
#include "engine-sim/SimConfig.h"
#include "engine-sim/SimState.h"
#include "engine-sim/VirtualCamera.h"
#include "plugin/sdk/FaceLogin.h"

namespace keystead::sim {

// The stand-in engine. Answers from the simulator's configuration, records every
// call, and calls back on its own threads: frames on the capture thread (see
// VirtualCamera), everything else on the event thread (see EventTimeline).
// A new enrollment or match replaces the one in progress (its remaining timeline
// events are dropped); StopRemoteBiometricData drops them too. Thread-safe.
// Destruction stops the capture and joins both threads, so it must not happen
// inside one of the engine's own callbacks.
class FaceLoginSim final : public sdk::FaceLogin {
 public:
  FaceLoginSim();
  ~FaceLoginSim() override;

  int Initialize(int mode) override;
  int StartRemoteBiometricData(sdk::FrameCallback* frameCallback, int previewType) override;
  int StopRemoteBiometricData() override;
  int LocalMatch(sdk::HybridMatchCallback* hybridCallback, sdk::EnrollCallback* enrollCallback,
                 int liveness, const sdk::MatchContext& context, int caller) override;
  int TryLocalMatch(sdk::HybridMatchCallback* hybridCallback, sdk::EnrollCallback* enrollCallback,
                    int liveness, const sdk::MatchContext& context, int caller,
                    const std::string& idToken) override;
  int IsAlive(sdk::ServiceReadiness& readiness) override;
  int VerifyRat(const std::string& rat, int flags, std::string& signedToken) override;
  int RetryRemoteOperations(int mode) override;
  int RemoteEnroll(sdk::ProcessedFramesCallback* processedCallback,
                   sdk::EnrollCallback* enrollCallback) override;
  int HybridEnroll(sdk::ProcessedFramesCallback* processedCallback,
                   sdk::EnrollCallback* enrollCallback, const std::string& transactionId,
                   bool reEnroll, const std::string& email) override;
  int AddDeviceMatch(sdk::HybridMatchCallback* hybridCallback, sdk::EnrollCallback* enrollCallback,
                     int liveness, const sdk::MatchContext& context,
                     const std::string& transactionId) override;
  int RemoteMatch(const sdk::MatchContext& context, sdk::RemoteMatchCallback* matchCallback,
                  int liveness) override;
  int AddFingerprintFactor(int& status, const std::string& email, const std::string& clientId,
                           const std::string& culture, const std::string& idToken) override;
  int AuthenticateFingerprint(sdk::MatchResult& result, const std::string& email,
                              const std::string& clientId, const std::string& culture,
                              const std::string& transactionId, const std::string& nonce,
                              const std::string& version) override;
  int GetServiceStatus(sdk::EngineStatus& status) override;
  int SignPacket(const std::string& body, std::string& answer) override;
  int GetDeviceContext(const std::string& body, std::string& answer) override;
  int ReportMetric(const std::string& source, int eventId, int severity, const std::string& data,
                   const std::string& category) override;
  int SelectVideoDevice(const std::string& name) override;
  int ListVideoDevices(std::vector<sdk::VideoDevice>& devices) override;
  int QueryVideoDeviceStatus(int& status) override;
  int ListRemoteUsers(sdk::RemoteUserList& users, const std::string& email) override;
  int ListCloudServers(std::vector<sdk::CloudServer>& servers) override;
  int RemoteSessionSync(const std::string& args, int operation, const std::string& email,
                        sdk::SDK_CloudAction* cloudAction) override;
  int SetFaceIndicatorColor(int* color) override;
  int SetPreviewType(int* previewType) override;
  int SetLocalSetting(const sdk::LocalSetting& setting) override;
  int GetEngineSetting(sdk::LocalSetting& setting, const std::string& name) override;
  int GetNewPairedDevices(std::string& answer, const std::string& devices) override;
  int AddCADevice(sdk::MatchResult& result, const std::string& email, const std::string& device,
                  const std::string& clientId, const std::string& culture,
                  const std::string& idToken) override;
  int AuthenticateWithCADevice(sdk::MatchResult& result, const std::string& email,
                               const std::string& clientId, const std::string& culture) override;
  int SetDeviceAuthenticatedCallback(sdk::DeviceAuthenticatedCallback* callback) override;

  // Control pushes (see SimControl.h): run the callback on the engine's threads and
  // wait for it; false when it is not registered or the engine stopped first.
  bool PushFrame(const sdk::SDK_Frame& frame);
  bool PushError(Listener target, const sdk::SDK_ERROR& error);
  bool PushEnrollmentFeedback(const sdk::SDK_EnrollmentFeedback& feedback);
  bool PushProcessedFrames(const sdk::SDK_ProcessedFramesContainer& frames);
  bool PushRemoteMatchFeedback(const sdk::SDK_RemoteMatchFeedback& feedback);
  bool PushHybridMatchFeedback(const sdk::SDK_RemoteMatchFeedback& feedback);
  bool PushDeviceAuthenticated(const std::string& first, const std::string& second);

 private:
  // Registers an enrollment's or match's callbacks and replaces the timeline in
  // progress with this operation's one (`group` is "enrollment" or "match").
  void StartOperation(const std::string& operation, const char* group, const Callbacks& callbacks,
                      const std::string& correlationId);
  // The start of both enrollments, which need both callbacks.
  int StartEnrollment(const char* operation, sdk::ProcessedFramesCallback* processedCallback,
                      sdk::EnrollCallback* enrollCallback);
  Callbacks Registered() const;
  // Stores *value as the text of setting `id` (SetFaceIndicatorColor, SetPreviewType).
  int StoreNumberSetting(const char* operation, const char* id, const int* value);

  SimState& state_;
  mutable std::mutex callbacksMutex_;
  Callbacks registered_;  // the latest callbacks given to the engine, for pushes
  // The camera outlives the event thread: timeline actions may deliver frame errors.
  VirtualCamera camera_;
  EventTimeline timeline_;
};

}  // namespace keystead::sim
