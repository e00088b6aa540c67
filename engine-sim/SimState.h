#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "engine-sim/CallRecorder.h"
#include "engine-sim/SimConfig.h"
#include "os/never_destroyed.h"

namespace keystead::sim {

class FaceLoginSim;

// The simulator's process-wide state: configuration, scripted result codes, the
// call log and the engine that pushes address. Thread-safe. Never destroyed:
// an engine its host left alive at exit (its threads still running) and the
// host's own exit handlers may still call in after static destructors ran.
class SimState {
 public:
  static SimState& Instance();

  SimState(const SimState&) = delete;
  SimState& operator=(const SimState&) = delete;

  // Defaults plus the KEYSTEAD_SIM_SCENARIO file; clears scripts and the call log.
  void Reset();

  void Edit(const std::function<void(Config&)>& edit);
  Config Snapshot() const;
  // Runs `read` on the configuration under the lock and returns its result.
  template <typename Fn>
  auto Read(Fn&& read) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return read(config_);
  }

  bool ApplyScenarioText(const std::string& text, std::string* error);
  bool ApplyScenarioFile(const std::string& path, std::string* error);

  bool SetResults(const std::string& operation, const std::vector<int>& codes);
  // Records the call and returns its scripted result code (0 when unscripted).
  int BeginCall(const std::string& operation, std::vector<std::string> args);

  CallRecorder& Recorder() { return recorder_; }

  void SetCurrentEngine(const std::shared_ptr<FaceLoginSim>& engine);
  std::shared_ptr<FaceLoginSim> CurrentEngine() const;

  static bool IsKnownOperation(const std::string& operation);
  // Every operation that calls are recorded and results scripted for.
  static const std::set<std::string>& KnownOperations();

 private:
  struct Script {
    std::vector<int> codes;
    std::size_t next = 0;
  };

  friend class os::NeverDestroyed<SimState>;
  SimState();
  void ResetLocked();
  bool ApplyScenarioLocked(const std::string& text, std::string* error);

  mutable std::mutex mutex_;
  Config config_;
  std::map<std::string, Script> scripts_;
  std::weak_ptr<FaceLoginSim> currentEngine_;
  CallRecorder recorder_;
};

}  // namespace keystead::sim
