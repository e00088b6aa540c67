#pragma once

#include <string>

#include "plugin/sdk/SDKTypes.h"
#include "plugin/uri/IAsyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/frame/adddevice": the polled local face match that proves the
// user's identity when this computer is added as a trusted device, tied to
// the cloud's OAuth transaction ("userData" "oTransId"). The first call of a
// session starts the capture (always preview type 0) and the add-device
// match; every call then waits up to about 2 s for something to answer. A
// result stops further match starts but leaves the session running until a
// frame stop or the display time-out.
//
// Shared by all request threads; keeps no per-request state.
class PostAddDevice : public IAsyncRequestMethod {
 public:
  using IAsyncRequestMethod::IAsyncRequestMethod;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  bool AsyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                           CaptureFlags& flags, Answer& answer) override;
  // The engine setting "BCA_LIVENESS_TYPE_REMOTE_MATCH"; 0 when unreadable.
  int GetLivenessSetting() override;

 private:
  // Under the capture lock: starts the add-device match with the request's
  // liveness and OAuth transaction; the engine's result.
  int StartMatch(const char* requestHeaders, int contentLength, const char* content,
                 const Corvane::QAV::SDK::MatchContext& context);
  // The result step of the poll: the local match's progress, then its
  // result, answered once per correlation id.
  std::string TakeResult(const Corvane::QAV::SDK::MatchContext& context, unsigned short& status);
};

}  // namespace corvane::larchmere::plugin::uri
