#pragma once

#include <string>

#include "plugin/uri/ISyncRequestMethod.h"
#include "plugin/uri/RouteTable.h"

namespace corvane::larchmere::plugin::uri {

// POST "/ca/logout": acknowledges a log-out with {"success":"true"}. Keeps no
// session state and calls nothing: there is nothing to undo.
class Logout final : public RoutedHandler<Logout, ISyncRequestMethod> {
 public:
  using RoutedHandler::RoutedHandler;

 protected:
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
