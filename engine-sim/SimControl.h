#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine-sim/SimConfig.h"
#include "plugin/sdk/SDKCallbacks.h"
#include "plugin/sdk/SDKExport.h"
#include "plugin/sdk/SDKTypes.h"

// In-process control of the stand-in engine, for tests. All functions are
// thread-safe. State is process-wide; the push functions address the most
// recently created engine that is still alive.
namespace keystead::sim {

// Codes the engine itself returns (scripted codes are whatever a test sets).
inline constexpr int kErrorInvalidArgument = 87;  // null callback or pointer, empty id or RAT
inline constexpr int kErrorBusy = 170;            // capture restart refused inside its own callback
inline constexpr int kErrorNotFound = 1168;       // unknown camera or setting
inline constexpr int kErrorNoCamera = 5633;       // sent to the frame callback: no camera selected

// One engine call. args hold the in-arguments in declaration order as text: a
// MatchContext expands to content, correlationId, email; a LocalSetting to its six
// fields; a callback pointer is "set" or "null"; an int* is its value or "null";
// bools are "true"/"false". Out-arguments are left out. CreateFaceLogin is recorded too.
struct Call {
  std::string operation;
  std::vector<std::string> args;
};

// Back to the state of a fresh process: DefaultConfig(), then the KEYSTEAD_SIM_SCENARIO
// file when set; forgets scripted results and recorded calls. Live engines stay alive.
KS_SDK_API void Reset();

// Edits the configuration under the simulator's lock; the engine reads it on every
// call. `edit` must not call back into the simulator or an engine.
KS_SDK_API void Configure(const std::function<void(Config&)>& edit);
KS_SDK_API Config CurrentConfig();

// Applies a scenario (format in engine-sim/README.md) on top of the current
// configuration. On failure nothing changes and `error` (if not null) says why.
KS_SDK_API bool LoadScenarioFile(const std::string& path, std::string* error);
KS_SDK_API bool LoadScenarioText(const std::string& json, std::string* error);

// Scripts the result codes of an operation: the n-th call from now returns
// codes[n], the last code repeats. A non-zero code makes the call fail: out-values
// are still written, but nothing starts or changes. An empty list clears the
// script (result 0). Returns false for an unknown operation name.
KS_SDK_API bool SetResults(const std::string& operation, const std::vector<int>& codes);
// The operation names SetResults and the call log know.
KS_SDK_API std::vector<std::string> KnownOperations();
inline bool SetResult(const std::string& operation, int code) {
  return SetResults(operation, {code});
}

// The call log. Only the most recent kCallWindow calls keep their arguments
// (a long-running host would otherwise grow with every engine call): Calls and
// CallsTo see that window, oldest first. CallCount and WaitForCall count every
// call since the last Reset or ClearCalls, also those out of the window.
inline constexpr std::size_t kCallWindow = 4096;

KS_SDK_API std::vector<Call> Calls();
KS_SDK_API std::vector<Call> CallsTo(const std::string& operation);
KS_SDK_API std::size_t CallCount(const std::string& operation);
// Waits until `operation` has been called at least `count` times; false on timeout.
KS_SDK_API bool WaitForCall(const std::string& operation, std::size_t count,
                            std::chrono::milliseconds timeout);
KS_SDK_API void ClearCalls();

// Pushes run the callback on the engine's own threads (frames and frame errors on
// the capture thread, the rest on the event thread) and return once it returned.
// They return false when no engine is alive, no such callback is registered (no
// capture running, for the frame callback), or the engine stopped before delivery.
// Called from inside an engine callback, they deliver inline.
KS_SDK_API bool PushFrame(const sdk::SDK_Frame& frame);
KS_SDK_API bool PushEnrollmentFeedback(const sdk::SDK_EnrollmentFeedback& feedback);
KS_SDK_API bool PushProcessedFrames(const sdk::SDK_ProcessedFramesContainer& frames);
KS_SDK_API bool PushError(Listener target, const sdk::SDK_ERROR& error);
KS_SDK_API bool PushRemoteMatchFeedback(const sdk::SDK_RemoteMatchFeedback& feedback);
KS_SDK_API bool PushHybridMatchFeedback(const sdk::SDK_RemoteMatchFeedback& feedback);
KS_SDK_API bool PushDeviceAuthenticated(const std::string& first, const std::string& second);

// The picture the virtual camera delivers as its frame number `index`.
KS_SDK_API sdk::SDK_Frame MakeFrame(const CameraSettings& settings, std::uint64_t index);

}  // namespace keystead::sim
