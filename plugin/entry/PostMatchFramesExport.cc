#include "plugin/entry/PostMatchFramesExport.h"

#include <utility>

#include "plugin/uri/PostMatchFrames.h"

namespace corvane::larchmere::plugin::test {

PostMatchFramesExport::PostMatchFramesExport(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                                             common::LMListenerHolder* listenerHolder)
    : handler_(std::make_unique<uri::PostMatchFrames>(std::move(engine), listenerHolder)) {}

PostMatchFramesExport::~PostMatchFramesExport() = default;

bool PostMatchFramesExport::IsMatch(const char* method, const char* url, const char* requestHeaders,
                                    int contentLength, const char* content) {
  return handler_->IsMatch(method, url, requestHeaders, contentLength, content);
}

bool PostMatchFramesExport::ProcessRequest(const char* requestHeaders, int contentLength,
                                           const char* content, unsigned short& status,
                                           std::string& responseHeaders,
                                           std::string& responseBody) {
  uri::BoundAnswer answer(status, responseHeaders, responseBody);
  return handler_->ProcessRequest(requestHeaders, contentLength, content, answer.get());
}

int PostMatchFramesExport::GetOperationType() const { return handler_->GetOperationType(); }

}  // namespace corvane::larchmere::plugin::test
