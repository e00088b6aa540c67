#include "engine-sim/EventTimeline.h"

#include <vector>

namespace keystead::sim {

EventTimeline::EventTimeline() : thread_([this] { Run(); }) {}

EventTimeline::~EventTimeline() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void EventTimeline::Schedule(std::chrono::milliseconds delay, Action action) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return;
    entries_.emplace(NextKeyLocked(Clock::now() + delay), Entry{std::move(action), true, nullptr});
  }
  changed_.notify_all();
}

void EventTimeline::CancelScheduled() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(entries_, [](const auto& entry) { return entry.second.cancellable; });
}

bool EventTimeline::RunNow(Action action) {
  if (std::this_thread::get_id() == thread_.get_id()) {
    action();
    return true;
  }
  auto done = std::make_shared<std::promise<bool>>();
  std::future<bool> delivered = done->get_future();
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopping_) return false;
    entries_.emplace(NextKeyLocked(Clock::now()), Entry{std::move(action), false, done});
  }
  changed_.notify_all();
  return delivered.get();
}

EventTimeline::Key EventTimeline::NextKeyLocked(Clock::time_point due) {
  return Key{due, nextSequence_++};
}

void EventTimeline::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stopping_) {
    if (entries_.empty()) {
      changed_.wait(lock);
      continue;
    }
    const auto first = entries_.begin();
    // A copy: the entry may be cancelled while we wait.
    const Clock::time_point due = first->first.first;
    if (Clock::now() < due) {
      changed_.wait_until(lock, due);
      continue;
    }
    Entry entry = std::move(first->second);
    entries_.erase(first);
    lock.unlock();
    try {
      entry.action();
    } catch (...) {
      // A throwing callback must not take the engine's thread down with it.
    }
    if (entry.done) entry.done->set_value(true);
    lock.lock();
  }
  for (auto& [key, entry] : entries_) {
    if (entry.done) entry.done->set_value(false);
  }
  entries_.clear();
}

}  // namespace keystead::sim
