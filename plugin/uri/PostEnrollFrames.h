#pragma once

#include <string>

#include "plugin/uri/IAsyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/frame/enrollment": the polled face-enrollment endpoint. The first
// call of a session starts the engine's capture and the enrollment (remote,
// or hybrid for the "HYBRID" caller); every call then waits up to about 2 s
// for an error, a feedback, the processed frames or a preview frame and
// answers it. Every result is kept as the stored processed frames for the
// packet-signing endpoint.
//
// Shared by all request threads; keeps no per-request state.
class PostEnrollFrames : public IAsyncRequestMethod {
 public:
  using IAsyncRequestMethod::IAsyncRequestMethod;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  bool AsyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                           CaptureFlags& flags, Answer& answer) override;
  // The engine setting "BCA_BLINK_DETECTION_ENROLLMENT"; 0 when unreadable.
  int GetLivenessSetting() override;

 private:
  // Under the capture lock: starts the enrollment; the engine's result.
  int StartEnrollment(const char* requestHeaders, int contentLength, const char* content);
  // The result step of the poll: errors, feedback and processed frames.
  std::string TakeResult(const char* requestHeaders, bool deliverFrames);
  // Empties every queue after a result, except processed frames that were
  // not taken in this pass: they are the enrollment's payload and are
  // answered by the next poll.
  void EmptyQueuesKeepingProcessedFrames();
  void StoreProcessedFrames(const char* requestHeaders, const std::string& body);
};

}  // namespace corvane::larchmere::plugin::uri
