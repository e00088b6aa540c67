#pragma once

#include <memory>
#include <string>

#include "plugin/uri/IAsyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/frame/enrollment": The polled face-enrollment endpoint.
class PostEnrollFrames : public IAsyncRequestMethod {
 public:
  using IAsyncRequestMethod::IAsyncRequestMethod;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  bool AsyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                           bool& timedOut, bool& sessionStarted, bool& deliverFrames,
                           unsigned short& status, std::string& responseHeaders,
                           std::string& responseBody) override;
  int GetLivenessSetting() override;
};

}  // namespace corvane::larchmere::plugin::uri
