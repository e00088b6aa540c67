#pragma once

#include <string>

#include "plugin/uri/ISyncRequestMethod.h"
#include "plugin/uri/RouteTable.h"

namespace corvane::larchmere::plugin::uri {

// GET "/status/deviceid": Always answers {"status":1}; does not touch the engine.
class GetDeviceIdStatus final : public RoutedHandler<GetDeviceIdStatus, ISyncRequestMethod> {
 public:
  using RoutedHandler::RoutedHandler;

 protected:
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
