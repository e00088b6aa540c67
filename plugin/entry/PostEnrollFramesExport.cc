#include "plugin/entry/PostEnrollFramesExport.h"

#include <utility>

#include "plugin/uri/PostEnrollFrames.h"

namespace corvane::larchmere::plugin::test {

PostEnrollFramesExport::PostEnrollFramesExport(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                                               common::LMListenerHolder* listenerHolder)
    : handler_(std::make_unique<uri::PostEnrollFrames>(std::move(engine), listenerHolder)) {}

PostEnrollFramesExport::~PostEnrollFramesExport() = default;

bool PostEnrollFramesExport::IsMatch(const char* method, const char* url,
                                     const char* requestHeaders, int contentLength,
                                     const char* content) {
  return handler_->IsMatch(method, url, requestHeaders, contentLength, content);
}

bool PostEnrollFramesExport::ProcessRequest(const char* requestHeaders, int contentLength,
                                            const char* content, unsigned short& status,
                                            std::string& responseHeaders,
                                            std::string& responseBody) {
  uri::BoundAnswer answer(status, responseHeaders, responseBody);
  return handler_->ProcessRequest(requestHeaders, contentLength, content, answer.get());
}

int PostEnrollFramesExport::GetOperationType() const { return handler_->GetOperationType(); }

}  // namespace corvane::larchmere::plugin::test
