#pragma once

#include <string>

#include "plugin/uri/IURIStrategy.h"

namespace corvane::larchmere::plugin::uri {

// Base of the handlers that compute their answer at once. ProcessRequest
// writes the CORS block, counts the request as activity of a running capture
// session (so the display time-out does not fire while the page is busy with
// other calls) and then runs the handler's SyncProcessRequest.
class ISyncRequestMethod : public IURIStrategy {
 public:
  using IURIStrategy::IURIStrategy;

  bool ProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                      Answer& answer) final;

 protected:
  // The handler's own work: append its document to the answer's body and
  // set its status. The response headers are already in place.
  virtual bool SyncProcessRequest(const char* requestHeaders, int contentLength,
                                  const char* content, Answer& answer) = 0;

 private:
  void HandleTimeOut();
};

}  // namespace corvane::larchmere::plugin::uri
