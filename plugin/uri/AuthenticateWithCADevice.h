#pragma once

#include <string>

#include "plugin/sdk/SDKTypes.h"
#include "plugin/uri/ISyncRequestMethod.h"
#include "plugin/uri/RouteTable.h"

namespace corvane::larchmere::plugin::uri {

// POST "/ca/authenticate": authenticates the user through a companion device
// and answers the cloud's result. Also home of the companion-device status
// names and the result conversion that AddCADevice shares.
class AuthenticateWithCADevice final
    : public RoutedHandler<AuthenticateWithCADevice, ISyncRequestMethod> {
 public:
  using RoutedHandler::RoutedHandler;

  // The reply document for the engine's companion-device result: the whole
  // cloud answer on success, its error, or the status code and name when the
  // answer is not a JSON object. Never throws for bad input.
  static std::string ConvertDeviceResponse(const Corvane::QAV::SDK::MatchResult& result);

 protected:
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
