#pragma once

#include <string>

#include "plugin/uri/ISyncRequestMethod.h"
#include "plugin/uri/RouteTable.h"

namespace corvane::larchmere::plugin::uri {

// GET "/camera/status": Answers the engine's camera state; 0 when the engine cannot tell.
class GetVideoDeviceStatus final : public RoutedHandler<GetVideoDeviceStatus, ISyncRequestMethod> {
 public:
  using RoutedHandler::RoutedHandler;

 protected:
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
