#pragma once

#include <memory>
#include <string>

#include "plugin/entry/KeysteadPluginExport.h"
#include "plugin/sdk/FaceLogin.h"

namespace corvane::larchmere::plugin::common {
class LMListenerHolder;
}  // namespace corvane::larchmere::plugin::common

#include "plugin/entry/KeysteadPlugin.h"

namespace corvane::larchmere::plugin::uri {
class URIContext;
}  // namespace corvane::larchmere::plugin::uri

namespace corvane::larchmere::plugin::test {

// Exported for test programs: a request router whose operations are
// forwarded unchanged. Same contracts as URIContext's.
class KS_PLUGIN_API URIContextExport {
 public:
  // `listenerHolder` is not owned and must outlive this object.
  URIContextExport(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                   common::LMListenerHolder* listenerHolder, void* hostContext,
                   const HostCallbacks& callbacks);
  ~URIContextExport();

  URIContextExport(const URIContextExport&) = delete;
  URIContextExport& operator=(const URIContextExport&) = delete;

  void Initialize(int operationKind);
  bool ProcessRequest(const char* method, const char* url, const char* requestHeaders,
                      int contentLength, const char* content, unsigned short& status,
                      std::string& responseHeaders, std::string& responseBody);

 private:
  std::unique_ptr<uri::URIContext> context_;
};

}  // namespace corvane::larchmere::plugin::test
