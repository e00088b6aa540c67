#pragma once

#include <string>

#include "plugin/sdk/SDKTypes.h"
#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/ca/authenticate": authenticates the user through a companion device
// and answers the cloud's result. Also home of the companion-device status
// names and the result conversion that AddCADevice shares.
class AuthenticateWithCADevice final : public ISyncRequestMethod {
 public:
  using ISyncRequestMethod::ISyncRequestMethod;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

  // The name of a companion-device status code ("CA_DEVICE_NOT_FOUND");
  // empty for an unknown code.
  static std::string DeviceStatusName(int status);

  // The reply document for the engine's companion-device result: the whole
  // cloud answer on success, its error, or the status code and name when the
  // answer is not a JSON object. Never throws for bad input.
  static std::string ConvertDeviceResponse(const Corvane::QAV::SDK::MatchResult& result);

 protected:
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
