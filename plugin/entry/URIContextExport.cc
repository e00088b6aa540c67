#include "plugin/entry/URIContextExport.h"

#include <utility>

#include "plugin/uri/URIContext.h"

namespace corvane::larchmere::plugin::test {

URIContextExport::URIContextExport(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                                   common::LMListenerHolder* listenerHolder, void* hostContext,
                                   const HostCallbacks& callbacks)
    : context_(std::make_unique<uri::URIContext>(std::move(engine), listenerHolder, hostContext,
                                                 callbacks)) {}

URIContextExport::~URIContextExport() = default;

void URIContextExport::Initialize(int operationKind) { context_->Initialize(operationKind); }

bool URIContextExport::ProcessRequest(const char* method, const char* url,
                                      const char* requestHeaders, int contentLength,
                                      const char* content, unsigned short& status,
                                      std::string& responseHeaders, std::string& responseBody) {
  return context_->ProcessRequest(method, url, requestHeaders, contentLength, content, status,
                                  responseHeaders, responseBody);
}

}  // namespace corvane::larchmere::plugin::test
