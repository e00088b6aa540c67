#pragma once

#include <memory>
#include <string>

#include "plugin/platform/KSInstHelper.h"
#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/vsu/notifychange": passes a change notice {"appId", "email"} to the
// suite through the install helper. Answers "{}" (200) when the suite took
// it; 500 with the suite's status as the error code (source 5) when it did
// not; 400 "Invalid Param" when either text is empty or holds white space or
// control characters, or the body is not an object.
class PostVSUNotifyChange final : public ISyncRequestMethod {
 public:
  // `installHelper` is the router's; not owned, it outlives the handler.
  PostVSUNotifyChange(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                      common::LMListenerHolder* listenerHolder,
                      Corvane::Keystead::Vessa::KSInstHelper* installHelper);

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;

 private:
  Corvane::Keystead::Vessa::KSInstHelper* installHelper;  // not owned
};

}  // namespace corvane::larchmere::plugin::uri
