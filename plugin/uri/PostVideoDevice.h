#pragma once

#include <string>

#include "plugin/uri/ISyncRequestMethod.h"
#include "plugin/uri/RouteTable.h"

namespace corvane::larchmere::plugin::uri {

// POST "/devices/video": Selects the camera named in the body.
class PostVideoDevice final : public RoutedHandler<PostVideoDevice, ISyncRequestMethod> {
 public:
  using RoutedHandler::RoutedHandler;

 protected:
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
