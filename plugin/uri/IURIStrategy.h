#pragma once

#include <memory>
#include <string>

#include "plugin/common/CaptureLock.h"
#include "plugin/common/LMListenerHolder.h"
#include "plugin/sdk/FaceLogin.h"
#include "plugin/uri/Answer.h"

namespace corvane::larchmere::plugin::uri {

// What a handler needs from the engine before it may run; the router checks
// the engine's readiness by it.
enum OperationKind : int {
  kOperationStateless = 0,  // needs no engine readiness
  kOperationLocal = 1,      // needs the engine's local service
  kOperationRemote = 2,     // needs the engine's cloud connection
};

// Replaces the answer's headers with the CORS block for the request, with
// the domain suffix of `holder` (which may be null) when it has one. The
// router writes its own answers' headers the same way.
void WriteCorsHeaders(const common::LMListenerHolder* holder, const char* requestHeaders,
                      Answer& answer);

// Root of the handler family: one object per served path and method, created
// and owned by the router (URIContext), shared by every host request thread.
// A handler therefore keeps no per-request state in members unless it locks
// it itself.
//
// Handlers derive from ISyncRequestMethod or IAsyncRequestMethod, never from
// this class directly: those implement ProcessRequest once for their kind.
class IURIStrategy {
 public:
  // `engine` is shared with the router and the other handlers; `listenerHolder`
  // is not owned and must outlive the handler. Neither may be null when the
  // router creates a handler.
  IURIStrategy(std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine,
               common::LMListenerHolder* listenerHolder);
  virtual ~IURIStrategy();

  IURIStrategy(const IURIStrategy&) = delete;
  IURIStrategy& operator=(const IURIStrategy&) = delete;

  // True when the request is for this handler: the URL holds the path prefix
  // directly followed by the handler's path, and the method is the handler's
  // (see MatchesRequest). Never throws for null texts.
  virtual bool IsMatch(const char* method, const char* url, const char* requestHeaders,
                       int contentLength, const char* content) = 0;

  // Runs the request: replaces the answer's headers with the CORS block,
  // appends the JSON document to its body and sets its status. May throw; the
  // router turns an exception into "Plugin Generic Error".
  virtual bool ProcessRequest(const char* requestHeaders, int contentLength, const char* content,
                              Answer& answer) = 0;

  // An OperationKind; a constant of the handler class.
  virtual int GetOperationType() const = 0;

  // The handler's class name, for the router's error line ("PostMatchFrames").
  virtual const char* GetClassName() const = 0;

 protected:
  // The common form of IsMatch: IsValidRequestURL(url, requestHeaders, path)
  // and IsValidRequestMethd(method, requestHeaders, methodName).
  static bool MatchesRequest(const char* method, const char* url, const char* requestHeaders,
                             const char* path, const char* methodName);

  // The capture session state of the listener holder; a state of its own
  // for a handler built without a holder (never by the router). Request
  // threads hold its capture lock (common::CaptureLock) around the engine
  // calls that must not overlap a capture start or stop; never while holding
  // another plug-in lock, and never in code that runs on an engine thread.
  common::FrameSessionState& SessionState();

  void WriteCorsHeaders(const char* requestHeaders, Answer& answer) const {
    uri::WriteCorsHeaders(listenerHolder, requestHeaders, answer);
  }

  std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine;
  common::LMListenerHolder* listenerHolder;  // not owned
};

}  // namespace corvane::larchmere::plugin::uri
