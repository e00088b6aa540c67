#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <string>
#include <vector>

#include "engine-sim/SimControl.h"

namespace keystead::sim {

// The log of every engine call. Thread-safe.
class CallRecorder {
 public:
  void Record(Call call);
  std::vector<Call> All() const;
  std::vector<Call> To(const std::string& operation) const;
  std::size_t Count(const std::string& operation) const;
  // Waits until `operation` has been recorded `count` times; false on timeout.
  bool WaitFor(const std::string& operation, std::size_t count,
               std::chrono::milliseconds timeout) const;
  void Clear();

 private:
  std::size_t CountLocked(const std::string& operation) const;

  mutable std::mutex mutex_;
  mutable std::condition_variable recorded_;
  std::vector<Call> calls_;
};

}  // namespace keystead::sim
