#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "plugin/common/LMListenerHolder.h"
#include "plugin/entry/KeysteadPlugin.h"
#include "plugin/platform/KSInstHelper.h"
#include "plugin/platform/Mutex.h"
#include "plugin/sdk/FaceLogin.h"
#include "plugin/uri/IURIStrategy.h"

namespace corvane::larchmere::plugin::uri {

// The request router: owns one handler per served path and method, answers
// CORS pre-flight requests itself, makes sure the engine is ready for the
// kind of work a handler needs, and turns failures into JSON error documents.
// It also announces the cloud domain suffix and the engine's service status
// to the host through registerPath.
//
// Thread-safe: ProcessRequest runs on several host threads at once. The
// handler list is written only by the constructor; readiness checks are
// serialised by the router lock, and the readiness and registration flags are
// atomics.
class URIContext {
 public:
  // Registers every handler (when `engine` and `listenerHolder` are set).
  // `listenerHolder` is not owned and must outlive the router; `hostContext`
  // is passed back to registerPath; `callbacks` is copied.
  URIContext(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
             common::LMListenerHolder* listenerHolder, void* hostContext,
             const HostCallbacks& callbacks);
  // Destroys the handlers and the install helper. No request may be running.
  ~URIContext();

  URIContext(const URIContext&) = delete;
  URIContext& operator=(const URIContext&) = delete;

  // Kind 0 registers the handlers (once); kinds 1 and 2 refresh the local or
  // remote readiness from the engine, retrying the cloud connection once for
  // kind 2. Never throws for engine failures.
  void Initialize(int operationKind) KS_EXCLUDES(lock);

  // Answers one request: writes `status`, `responseHeaders` and appends to
  // `responseBody`. True for a pre-flight answer, else the handler's result;
  // false when no handler ran or a handler threw (the error document is then
  // in place). Null texts are tolerated.
  bool ProcessRequest(const char* method, const char* url, const char* requestHeaders,
                      int contentLength, const char* content, unsigned short& status,
                      std::string& responseHeaders, std::string& responseBody);

  // The handler that serves the request, the first match in registration
  // order; null when none does (also when the header block names neither
  // "application/json" nor "Origin").
  IURIStrategy* FindHandler(const char* method, const char* url, const char* requestHeaders,
                            int contentLength, const char* content) const;

  // The handlers' class names in the order they are tried.
  std::vector<std::string> HandlerClassNames() const;

  bool IsLocalReady() const { return localReady; }
  bool IsRemoteReady() const { return remoteReady; }

 private:
  void RegisterHandlers() KS_REQUIRES(lock);
  // ProcessRequest on the caller's values seen as one answer.
  bool Dispatch(const char* method, const char* url, const char* requestHeaders, int contentLength,
                const char* content, Answer& answer);
  bool IsOptionsProcessRequest(const char* method, const char* requestHeaders, Answer& answer);
  bool CheckKSServicesStatusIfNeeded(IURIStrategy& handler, const char* requestHeaders,
                                     Answer& answer);
  bool CheckReadiness(int operationKind, const char* requestHeaders, Answer& answer);
  void RefreshReadiness(int operationKind);
  void RegisterDomainSufixIfNeeded() KS_EXCLUDES(registrationLock_);
  void RegisterKSStatus() KS_EXCLUDES(registrationLock_);
  void Announce(const std::string& text);

  std::vector<std::unique_ptr<IURIStrategy>> handlers;  // tried in this order
  std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine;
  common::LMListenerHolder* listenerHolder;  // not owned
  void* hostContext;
  HostCallbacks callbacks;
  std::unique_ptr<Corvane::Keystead::Vessa::KSInstHelper> installHelper;

  Mutex lock;               // serialises Initialize
  Mutex registrationLock_;  // makes each registration happen once
  std::atomic<bool> handlersRegistered{false};
  std::atomic<bool> localReady{false};
  std::atomic<bool> remoteReady{false};
  std::atomic<bool> domainSuffixRegistered{false};
  std::atomic<bool> statusRegistered{false};
};

}  // namespace corvane::larchmere::plugin::uri
