#pragma once

#include <memory>
#include <string>

#include "plugin/platform/KSInstHelper.h"
#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// GET "/vsu/account": answers the suite account's e-mail address with the
// first and last name registered on the machine. Without an e-mail address
// it answers 500 with the suite's status as the error code (source 5); a
// missing name does not prevent success.
class GetVSUAccount final : public ISyncRequestMethod {
 public:
  // `installHelper` is the router's; not owned, it outlives the handler.
  GetVSUAccount(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
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
