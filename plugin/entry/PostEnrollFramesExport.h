#pragma once

#include <memory>
#include <string>

#include "plugin/entry/KeysteadPluginExport.h"
#include "plugin/sdk/FaceLogin.h"

namespace corvane::larchmere::plugin::common {
class LMListenerHolder;
}  // namespace corvane::larchmere::plugin::common

namespace corvane::larchmere::plugin::uri {
class PostEnrollFrames;
}  // namespace corvane::larchmere::plugin::uri

namespace corvane::larchmere::plugin::test {

// Exported for test programs: a PostEnrollFrames handler whose public operations are
// forwarded unchanged. Same contracts as the handler's.
class KS_PLUGIN_API PostEnrollFramesExport {
 public:
  // `listenerHolder` is not owned and must outlive this object.
  PostEnrollFramesExport(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
                         common::LMListenerHolder* listenerHolder);
  ~PostEnrollFramesExport();

  PostEnrollFramesExport(const PostEnrollFramesExport&) = delete;
  PostEnrollFramesExport& operator=(const PostEnrollFramesExport&) = delete;

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content);
  bool ProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                      unsigned short& status, std::string& responseHeaders,
                      std::string& responseBody);
  int GetOperationType() const;

 private:
  std::unique_ptr<uri::PostEnrollFrames> handler_;
};

}  // namespace corvane::larchmere::plugin::test
