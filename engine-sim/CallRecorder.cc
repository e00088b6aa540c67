#include "engine-sim/CallRecorder.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace keystead::sim {

void CallRecorder::Record(Call call) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.push_back(std::move(call));
  }
  recorded_.notify_all();
}

std::vector<Call> CallRecorder::All() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

std::vector<Call> CallRecorder::To(const std::string& operation) const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<Call> matching;
  std::copy_if(calls_.begin(), calls_.end(), std::back_inserter(matching),
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
  calls_.clear();
}

std::size_t CallRecorder::CountLocked(const std::string& operation) const {
  return static_cast<std::size_t>(std::count_if(
      calls_.begin(), calls_.end(), [&](const Call& call) { return call.operation == operation; }));
}

}  // namespace keystead::sim
