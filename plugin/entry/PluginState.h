#pragma once

#include <memory>
#include <string>

#include "plugin/common/DeviceAuthenticatedListener.h"
#include "plugin/common/LMListenerHolder.h"
#include "plugin/entry/KeysteadPlugin.h"
#include "plugin/entry/RequestGate.h"
#include "plugin/platform/Mutex.h"
#include "plugin/sdk/FaceLogin.h"
#include "plugin/uri/URIContext.h"

namespace corvane::larchmere::plugin {

// The process-wide state behind the five entry points: the engine, the
// listener holder, the router and the retry state of a failed engine start.
//
// Thread-safety: Initialize and Finalize are serialised with each other and
// change the state only while the request gate is closed and drained, so an
// admitted request reads engine and holder without a lock. The router may
// still be created by a request (the retry of a failed engine start); that
// happens under initMutex, which every request takes briefly to read the
// router, so at most one router is created and none is used half-built.
class PluginState {
 public:
  static PluginState& Instance();
  // Runs at process exit or at an unload without Finalize, and cannot tell
  // which: other libraries (the engine's among them) may already be gone. So
  // it calls out to nothing and drops no engine reference; whatever the host
  // left initialised stays alive until the process ends. Finalize is
  // the orderly end.
  ~PluginState();

  PluginState(const PluginState&) = delete;
  PluginState& operator=(const PluginState&) = delete;

  // See the Initialize export. `callbacks` may be null (nothing is announced).
  bool Initialize(void* hostContext, const HostCallbacks* callbacks);

  // Answers one request into `status`, `responseHeaders` and `responseBody`:
  // the router's answer, or one of the errors 1003 (not set up, or Initialize
  // or Finalize under way), 1004 (the engine start failed again) and 1005 (no
  // router). May throw std::bad_alloc.
  void ProcessRequest(const char* method, const char* url, const char* requestHeaders,
                      int contentLength, const char* content, unsigned short& status,
                      std::string& responseHeaders, std::string& responseBody);

  // See the Finalize export.
  void Finalize();

  // The clock handed to the listener holder by the next Initialize; null
  // means the system clock. For tests (see PluginTestHooks.h).
  void SetClock(std::shared_ptr<common::Clock> clock);

 private:
  PluginState() = default;

  void AnnouncePaths(void* hostContext, const HostCallbacks& callbacks);
  // Initialises the engine and creates the router (unless one exists) and
  // registers the device-authenticated forwarder. On failure returns false
  // with `error` set.
  bool InitializeSdk(void* hostContext, const HostCallbacks& callbacks, std::string& error)
      KS_REQUIRES(initMutex_);
  // Stops a running capture and frees router, engine reference and holder,
  // in that order. Requires the gate closed.
  void TearDown() KS_EXCLUDES(initMutex_);
  // Stops the engine's capture, waits for a display time-out still running
  // on the frame thread and ends the session. Requires the holder.
  void StopCapture();
  void ClearRetryState() KS_EXCLUDES(initMutex_);
  // The destructor's part: moves what the host left initialised into
  // storage that is never destroyed. Takes no lock: at process exit a thread
  // ended in the middle of a request may still hold one.
  void LeaveToProcessEnd() noexcept KS_NO_THREAD_SAFETY_ANALYSIS;

  // Serialises Initialize and Finalize.
  Mutex lifecycleMutex_ KS_ACQUIRED_BEFORE(initMutex_);
  std::shared_ptr<common::Clock> clock_ KS_GUARDED_BY(lifecycleMutex_);
  RequestGate gate_;

  // Written only while the gate is closed.
  std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine;
  std::unique_ptr<common::LMListenerHolder> listenerHolder;

  Mutex initMutex_;
  std::unique_ptr<uri::URIContext> uriContext KS_GUARDED_BY(initMutex_);
  bool sdkInitPending KS_GUARDED_BY(initMutex_) = false;
  void* savedHostContext KS_GUARDED_BY(initMutex_) = nullptr;
  HostCallbacks savedCallbacks KS_GUARDED_BY(initMutex_) = {};

  // Registered with the engine when the host wants device reports; owned
  // through a pointer so that it can outlive this state with the engine.
  std::unique_ptr<common::DeviceAuthenticatedListener> deviceAuthenticatedForwarder =
      std::make_unique<common::DeviceAuthenticatedListener>();
};

}  // namespace corvane::larchmere::plugin
