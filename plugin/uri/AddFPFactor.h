#pragma once

#include <string>

#include "plugin/uri/ISyncRequestMethod.h"
#include "plugin/uri/RouteTable.h"

namespace corvane::larchmere::plugin::uri {

// POST "/fingerprint/addfactor": registers the user's fingerprint factor with
// the engine, authorised by the "x-idToken" request header. Without that
// header the engine is never called (400, empty body).
class AddFPFactor final : public RoutedHandler<AddFPFactor, ISyncRequestMethod> {
 public:
  using RoutedHandler::RoutedHandler;

 protected:
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;
};

}  // namespace corvane::larchmere::plugin::uri
