#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "plugin/sdk/FaceLogin.h"
#include "plugin/sdk/SDKTypes.h"
#include "plugin/uri/CaptureFlow.h"
#include "plugin/uri/IAsyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/frame/match" (also "/frame/trymatch"): the polled face-match
// endpoint of a login. The "REMOTE_PSI_25" caller takes the remote flow (the
// engine matches against the cloud and reports through the match listener);
// every other caller the hybrid flow (a local match reporting progress
// through the enrollment listener and its result through the hybrid
// listener). The first call of a session starts the capture and the match;
// every call then waits up to about 2 s for something to answer.
//
// Shared by all request threads; the only member state is the liveness
// setting, kept atomically.
class PostMatchFrames : public IAsyncRequestMethod {
 public:
  // Reads the liveness setting from the engine once (0 when unreadable).
  PostMatchFrames(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                  common::LMListenerHolder* listenerHolder);

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  bool AsyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                           CaptureFlags& flags, Answer& answer) override;
  // The engine setting "BCA_LIVENESS_TYPE_REMOTE_MATCH"; 0 when unreadable.
  int GetLivenessSetting() override;

  // The hybrid flow, also run by the try-match endpoint.
  void RunHybridFlow(const char* requestHeaders, int contentLength, const char* content,
                     CaptureFlags& flags, Answer& answer);

  // The value of the "x-idToken" header line: the word after "x-idToken:",
  // ending at white space or at the end of the line (it never runs into the
  // next header). Empty when the header is missing or empty.
  static std::string GetIdTokenFromHeaders(const char* requestHeaders);

 private:
  // Everything one request of a flow needs, read once from the request.
  struct MatchRequest {
    const char* headers = nullptr;
    Corvane::QAV::SDK::MatchContext context;
    std::string idToken;
    int callerKind = 0;
  };

  static MatchRequest ReadRequest(const char* requestHeaders, int contentLength,
                                  const char* content, bool withEmail);
  // What the remote and the hybrid flow share: the request's id and preview
  // type, and the rendering of a frame.
  CaptureFlow MatchFlow(const MatchRequest& request);

  void RunRemoteFlow(const char* requestHeaders, int contentLength, const char* content,
                     CaptureFlags& flags, Answer& answer);

  // Under the capture lock: TryLocalMatch when the request carries an id
  // token, else LocalMatch; the engine's result.
  int StartLocalMatch(const MatchRequest& request);

  // Result steps of the polls.
  std::string TakeRemoteResult(const MatchRequest& request, unsigned short& status);
  std::string TakeHybridResult(unsigned short& status);
  // After a hybrid result: stops the engine's capture and resets the session,
  // unless a concurrent poll of the session already did (the result is then
  // no longer queued).
  void EndSessionAfterResult(
      const std::shared_ptr<Corvane::QAV::SDK::SDK_RemoteMatchFeedback>& result);

  std::atomic<int> livenessType;
};

}  // namespace corvane::larchmere::plugin::uri
