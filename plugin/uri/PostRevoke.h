#pragma once

#include <memory>
#include <string>

#include "plugin/entry/KeysteadPlugin.h"
#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/revoke": Asks the host to revoke a RAT.
class PostRevoke : public ISyncRequestMethod {
 public:
  // `hostContext` and `callbacks` are the host's, kept for revokeRat.
  PostRevoke(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
             common::LMListenerHolder* listenerHolder, void* hostContext, HostCallbacks callbacks);

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          unsigned short& status, std::string& responseHeaders,
                          std::string& responseBody) override;

 private:
  void* hostContext;  // the host's, passed back to revokeRat
  HostCallbacks callbacks;
};

}  // namespace corvane::larchmere::plugin::uri
