#include "engine-sim/CallRecorder.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace keystead::sim {

void CallRecorder::Record(Call call) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ++counts_[call.operation];
    window_.push_back(std::move(call));
    if (window_.size() > kCallWindow) window_.pop_front();
  }
  recorded_.notify_all();
}

std::vector<Call> CallRecorder::All() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {window_.begin(), window_.end()};
}

std::vector<Call> CallRecorder::To(const std::string& operation) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Call> matching;
  std::copy_if(window_.begin(), window_.end(), std::back_inserter(matching),
               [&](const Call& call) { return call.operation == operation; });
  return matching;
}

std::size_t CallRecorder::Count(const std::string& operation) const {
  std::lock_guard<std::mutex> lock(mutex_);
  return CountLocked(operation);
}

bool CallRecorder::WaitFor(const std::string& operation, std::size_t count,
                           std::chrono::milliseconds timeout) const {
  std::unique_lock<std::mutex> lock(mutex_);
  return recorded_.wait_for(lock, timeout, [&] { return CountLocked(operation) >= count; });
}

void CallRecorder::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  window_.clear();
  counts_.clear();
}

std::size_t CallRecorder::CountLocked(const std::string& operation) const {
  const auto found = counts_.find(operation);
  return found != counts_.end() ? found->second : 0;
}

}  // namespace keystead::sim
