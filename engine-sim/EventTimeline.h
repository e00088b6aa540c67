#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace keystead::sim {

// The engine's event thread: runs actions at their due time, one at a time, in
// due order. Owns its thread from construction to destruction. Thread-safe.
class EventTimeline {
 public:
  using Action = std::function<void()>;

  EventTimeline();
  // Joins the thread; actions not yet run are dropped (waiters get false).
  ~EventTimeline();

  EventTimeline(const EventTimeline&) = delete;
  EventTimeline& operator=(const EventTimeline&) = delete;

  // Runs `action` after `delay`, unless CancelScheduled comes first.
  void Schedule(std::chrono::milliseconds delay, Action action);
  // Drops every scheduled action not yet started (RunNow actions stay).
  void CancelScheduled();
  // Runs `action` on the event thread as soon as it is free and waits for it.
  // Called on the event thread itself it runs inline. False if dropped.
  bool RunNow(Action action);

 private:
  using Clock = std::chrono::steady_clock;
  using Key = std::pair<Clock::time_point, std::uint64_t>;  // due time, then arrival order
  struct Entry {
    Action action;
    bool cancellable = true;
    std::shared_ptr<std::promise<bool>> done;  // set by RunNow entries
  };

  void Run();
  Key NextKeyLocked(Clock::time_point due);

  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<Key, Entry> entries_;
  std::uint64_t nextSequence_ = 0;
  bool stopping_ = false;
  std::thread thread_;  // last member: started once the rest is ready
};

}  // namespace keystead::sim
