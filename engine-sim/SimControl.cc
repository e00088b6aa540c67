#include "engine-sim/SimControl.h"

#include <memory>

#include "engine-sim/FaceLoginSim.h"
#include "engine-sim/SimState.h"

namespace keystead::sim {
namespace {

SimState& State() { return SimState::Instance(); }

// Runs `push` on the current engine; false when none is alive.
template <typename Push>
bool WithEngine(Push&& push) {
  const std::shared_ptr<FaceLoginSim> engine = State().CurrentEngine();
  return engine != nullptr && push(*engine);
}

}  // namespace

void Reset() { State().Reset(); }

void Configure(const std::function<void(Config&)>& edit) { State().Edit(edit); }

Config CurrentConfig() { return State().Snapshot(); }

bool LoadScenarioFile(const std::string& path, std::string* error) {
  return State().ApplyScenarioFile(path, error);
}

bool LoadScenarioText(const std::string& json, std::string* error) {
  return State().ApplyScenarioText(json, error);
}

bool SetResults(const std::string& operation, const std::vector<int>& codes) {
  return State().SetResults(operation, codes);
}

std::vector<Call> Calls() { return State().Recorder().All(); }

std::vector<Call> CallsTo(const std::string& operation) { return State().Recorder().To(operation); }

std::vector<std::string> KnownOperations() {
  const auto& operations = SimState::KnownOperations();
  return {operations.begin(), operations.end()};
}

std::size_t CallCount(const std::string& operation) { return State().Recorder().Count(operation); }

bool WaitForCall(const std::string& operation, std::size_t count,
                 std::chrono::milliseconds timeout) {
  return State().Recorder().WaitFor(operation, count, timeout);
}

void ClearCalls() { State().Recorder().Clear(); }

bool PushFrame(const sdk::SDK_Frame& frame) {
  return WithEngine([&](FaceLoginSim& engine) { return engine.PushFrame(frame); });
}

bool PushEnrollmentFeedback(const sdk::SDK_EnrollmentFeedback& feedback) {
  return WithEngine([&](FaceLoginSim& engine) { return engine.PushEnrollmentFeedback(feedback); });
}

bool PushProcessedFrames(const sdk::SDK_ProcessedFramesContainer& frames) {
  return WithEngine([&](FaceLoginSim& engine) { return engine.PushProcessedFrames(frames); });
}

bool PushError(Listener target, const sdk::SDK_ERROR& error) {
  return WithEngine([&](FaceLoginSim& engine) { return engine.PushError(target, error); });
}

bool PushRemoteMatchFeedback(const sdk::SDK_RemoteMatchFeedback& feedback) {
  return WithEngine([&](FaceLoginSim& engine) { return engine.PushRemoteMatchFeedback(feedback); });
}

bool PushHybridMatchFeedback(const sdk::SDK_RemoteMatchFeedback& feedback) {
  return WithEngine([&](FaceLoginSim& engine) { return engine.PushHybridMatchFeedback(feedback); });
}

bool PushDeviceAuthenticated(const std::string& first, const std::string& second) {
  return WithEngine(
      [&](FaceLoginSim& engine) { return engine.PushDeviceAuthenticated(first, second); });
}

}  // namespace keystead::sim
