#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "engine-sim/SimControl.h"

namespace keystead::sim {

// The log of engine calls behind Calls, CallsTo, CallCount and WaitForCall
// (see SimControl.h for the window and the counts). Thread-safe.
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
  std::deque<Call> window_;  // at most kCallWindow
  // One entry per operation name, a fixed set: bounded.
  std::map<std::string, std::size_t> counts_;
};

}  // namespace keystead::sim
