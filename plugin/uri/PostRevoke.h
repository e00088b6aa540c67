#pragma once

#include <memory>
#include <string>

#include "plugin/entry/KeysteadPlugin.h"
#include "plugin/uri/ISyncRequestMethod.h"

namespace corvane::larchmere::plugin::uri {

// POST "/revoke": hands the RAT of the "x-jwstoken" request header to the
// host's revokeRat callback, which withdraws it.
//
// Keeps only the host context and callbacks given at creation; safe for
// concurrent requests as far as the host's callback is.
class PostRevoke : public ISyncRequestMethod {
 public:
  // `hostContext` and `callbacks` are the host's, kept for revokeRat; the
  // context is passed back unchanged and never dereferenced.
  PostRevoke(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
             common::LMListenerHolder* listenerHolder, void* hostContext, HostCallbacks callbacks);

  bool IsMatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
               const char* content) override;
  int GetOperationType() const override;
  const char* GetClassName() const override;

 protected:
  // 200 with {"response":"RevokeRat successful."} when the host revoked the
  // RAT; {"response":"RevokeRat failure."} with 500 (unless the status
  // already holds 200) when there is no RAT (the host is then not called),
  // no revokeRat callback, or the host refused. Always returns true.
  bool SyncProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                          Answer& answer) override;

 private:
  bool Revoke(const std::string& rat) const;

  void* hostContext;  // the host's, passed back to revokeRat
  HostCallbacks callbacks;
};

}  // namespace corvane::larchmere::plugin::uri
