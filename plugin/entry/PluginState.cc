#include "plugin/entry/PluginState.h"

#include <chrono>
#include <exception>
#include <optional>
#include <set>
#include <utility>

#include "os/never_destroyed.h"
#include "plugin/common/CaptureLock.h"
#include "plugin/common/DisplayTimeOut.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/platform/Log.h"

namespace corvane::larchmere::plugin {

namespace {

using common::LarchmerePluginHelper;

// The argument of the engine's Initialize.
constexpr int kEngineInitializeMode = 5;
constexpr char kUnknownInitFailure[] = "Service init failed(Unknown reason).";

// An error answer of the entry point: CORS block without domain suffix,
// status 500.
void AnswerError(const char* requestHeaders, int code, const std::string& description,
                 unsigned short& status, std::string& responseHeaders, std::string& responseBody) {
  LarchmerePluginHelper::BuildHeader(requestHeaders, std::nullopt, responseHeaders);
  responseBody =
      LarchmerePluginHelper::CreateJsonErrorResponse(common::kErrorSourcePlugin, code, description);
  status = 500;
}

void AnswerNotSetUp(const char* requestHeaders, unsigned short& status,
                    std::string& responseHeaders, std::string& responseBody) {
  WriteLog("Larchmere Plugin - Initialize function was not called before ProcessRequest.",
           kLogError);
  AnswerError(requestHeaders, common::kServiceNotSetUp, common::kServiceNotSetUpDescription, status,
              responseHeaders, responseBody);
}

// What a host left initialised when the plug-in's state was destroyed.
struct LeftState {
  std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine;
  std::unique_ptr<common::LMListenerHolder> listenerHolder;
  std::unique_ptr<uri::URIContext> uriContext;
  std::unique_ptr<common::DeviceAuthenticatedListener> deviceAuthenticatedForwarder;
};

// How long the destructor waits for a display time-out in progress: its
// pauses plus a margin. Past it, the frame thread is taken to be gone.
constexpr std::chrono::milliseconds kTimeOutDrainLimit{
    common::DisplayTimeOut::kSettleMs + common::DisplayTimeOut::kCleanUpWindowMs + 500};

// Reopens the gate when leaving the scope, also on an exception.
class ReopenOnExit {
 public:
  explicit ReopenOnExit(RequestGate& gate) : gate_(gate) {}
  ~ReopenOnExit() { gate_.Open(); }
  ReopenOnExit(const ReopenOnExit&) = delete;
  ReopenOnExit& operator=(const ReopenOnExit&) = delete;

 private:
  RequestGate& gate_;
};

}  // namespace

PluginState& PluginState::Instance() {
  static PluginState state;
  return state;
}

PluginState::~PluginState() { LeaveToProcessEnd(); }

bool PluginState::Initialize(void* hostContext, const HostCallbacks* callbacks) {
  MutexLock lifecycle(lifecycleMutex_);
  WriteLog("Larchmere Plugin - Initialize", kLogInfo);
  const HostCallbacks hostCallbacks = callbacks != nullptr ? *callbacks : HostCallbacks{};
  AnnouncePaths(hostContext, hostCallbacks);

  gate_.CloseAndDrain();
  ReopenOnExit reopen(gate_);
  // A second Initialize without Finalize starts from a clean state too.
  TearDown();

  try {
    engine = CreateFaceLogin();
  } catch (const std::exception& exception) {
    LogException("Larchmere Plugin - CreateFaceLogin", exception);
    engine.reset();
  }
  if (!engine) {
    return false;
  }
  listenerHolder = std::make_unique<common::LMListenerHolder>(engine, clock_);
  WriteLog("Larchmere Plugin - SDK Initialize", kLogInfo);

  MutexLock init(initMutex_);
  std::string error;
  if (!InitializeSdk(hostContext, hostCallbacks, error)) {
    sdkInitPending = true;
    savedHostContext = hostContext;
    savedCallbacks = hostCallbacks;
    WriteLog("URIContext - Initialize - Unable to Initialize SDK", kLogError);
    return false;
  }
  return true;
}

void PluginState::AnnouncePaths(void* hostContext, const HostCallbacks& callbacks) {
  std::set<std::string> paths;
  LarchmerePluginHelper::BuildURIs(paths);
  if (callbacks.registerPath != nullptr) {
    for (const std::string& path : paths) {
      callbacks.registerPath(hostContext, path.c_str());
    }
  }
  WriteLog("Larchmere Plugin - URIs Registered w/Success", kLogInfo);
}

bool PluginState::InitializeSdk(void* hostContext, const HostCallbacks& callbacks,
                                std::string& error) {
  if (!engine || !listenerHolder) {
    error = common::kServiceNotSetUpDescription;
    return false;
  }
  try {
    if (engine->Initialize(kEngineInitializeMode) != 0) {
      error = kUnknownInitFailure;
      return false;
    }
    WriteLog("URIContext - Initialize - SDK_QAVServiceAPIErrorCode::SDK_SUCCESS", kLogInfo);
    if (!uriContext) {
      uriContext =
          std::make_unique<uri::URIContext>(engine, listenerHolder.get(), hostContext, callbacks);
    }
    WriteLog("Larchmere Plugin - SetDeviceAuthenticatedCallback", kLogDebug);
    if (callbacks.deviceAuthenticated != nullptr) {
      deviceAuthenticatedForwarder->SetHostCallbacks(callbacks);
      engine->SetDeviceAuthenticatedCallback(deviceAuthenticatedForwarder.get());
      WriteLog("Larchmere Plugin - SetDeviceAuthenticatedCallback registered", kLogDebug);
    } else {
      WriteLog("Larchmere Plugin - SetDeviceAuthenticatedCallback NOT registered", kLogDebug);
    }
    return true;
  } catch (const std::exception& exception) {
    error = exception.what();
    return false;
  }
}

void PluginState::ProcessRequest(const char* method, const char* url, const char* requestHeaders,
                                 int contentLength, const char* content, unsigned short& status,
                                 std::string& responseHeaders, std::string& responseBody) {
  const RequestGate::Admission admission(gate_);
  if (!admission || !engine || !listenerHolder) {
    AnswerNotSetUp(requestHeaders, status, responseHeaders, responseBody);
    return;
  }
  uri::URIContext* router = nullptr;
  {
    MutexLock init(initMutex_);
    if (sdkInitPending) {
      std::string error;
      if (!InitializeSdk(savedHostContext, savedCallbacks, error)) {
        WriteLog("Larchmere Plugin - SDK Init failed again.", kLogError);
        AnswerError(requestHeaders, common::kServiceInitFailed,
                    common::kServiceInitFailedDescription + error, status, responseHeaders,
                    responseBody);
        return;
      }
      sdkInitPending = false;
    }
    router = uriContext.get();
  }
  if (router == nullptr) {
    WriteLog("Larchmere Plugin - How _uriContext can be NULL(Something went really bad)",
             kLogError);
    AnswerError(requestHeaders, common::kContextNotCreated, common::kContextNotCreatedDescription,
                status, responseHeaders, responseBody);
    return;
  }
  // The admission keeps the router alive until the request is answered.
  router->ProcessRequest(method, url, requestHeaders, contentLength, content, status,
                         responseHeaders, responseBody);
}

void PluginState::Finalize() {
  MutexLock lifecycle(lifecycleMutex_);
  WriteLog("Larchmere Plugin - Finalize", kLogInfo);
  gate_.CloseAndDrain();
  ReopenOnExit reopen(gate_);
  TearDown();
}

void PluginState::SetClock(std::shared_ptr<common::Clock> newClock) {
  MutexLock lifecycle(lifecycleMutex_);
  clock_ = std::move(newClock);
}

void PluginState::TearDown() {
  ClearRetryState();
  if (listenerHolder) {
    StopCapture();
  }
  {
    MutexLock init(initMutex_);
    uriContext.reset();
  }
  engine.reset();
  // Releases the frame listener's engine reference (possibly the last one,
  // which joins the engine's threads) before the listeners go.
  listenerHolder.reset();
  deviceAuthenticatedForwarder->SetHostCallbacks(HostCallbacks{});
}

void PluginState::StopCapture() {
  common::FrameSessionState& state = listenerHolder->State();
  if (engine) {
    common::CaptureLock capture(state);
    // Whatever the session flags say: after a failed frame stop, or during
    // the display time-out's clean-up, they tell of no capture while the
    // engine still delivers frames. Once a stop returned 0, no listener is
    // called any more.
    try {
      engine->StopRemoteBiometricData();
    } catch (const std::exception& exception) {
      LogException("Larchmere Plugin - Finalize - StopRemoteBiometricData", exception);
    }
  }
  // A time-out that fired before the stop may still be resetting the
  // session (the engine's stop does not wait for it when it failed).
  listenerHolder->FrameListener().ReleaseEngine();
  common::CaptureLock capture(state);
  listenerHolder->ResetCaptureSession(common::StoredFramesPolicy::kClear);
}

void PluginState::LeaveToProcessEnd() noexcept {
  if (!engine && !listenerHolder && !uriContext) {
    return;  // finalised, or never initialised: nothing is left running
  }
  if (listenerHolder) {
    try {
      // The engine may go on delivering frames; a display time-out would log
      // once the logger is freed.
      listenerHolder->FrameListener().Disarm(kTimeOutDrainLimit);
    } catch (...) {
      // Only a failing mutex: the process is ending anyway.
    }
  }
  static keystead::os::NeverDestroyed<LeftState> left(
      LeftState{std::move(engine), std::move(listenerHolder), std::move(uriContext),
                std::move(deviceAuthenticatedForwarder)});
}

void PluginState::ClearRetryState() {
  MutexLock init(initMutex_);
  sdkInitPending = false;
  savedHostContext = nullptr;
  savedCallbacks = HostCallbacks{};
}

}  // namespace corvane::larchmere::plugin
