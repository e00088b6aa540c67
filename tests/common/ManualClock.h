#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <utility>
#include <vector>

#include "plugin/common/Clock.h"

namespace corvane::larchmere::plugin::test {

// A Clock that moves only when told to. SleepMs records the request, runs the
// optional sleep hook (outside the clock's lock, on the sleeping thread) and
// then advances both clocks instead of sleeping. WaitForArrival does the same
// with the wait's length and the wait hook, then returns at once when the
// arrival signal has moved, else advances to the deadline. Thread-safe.
class ManualClock : public common::Clock {
 public:
  // 2023-11-14 22:13:20 UTC, a whole second.
  static constexpr double kDefaultWallClockMs = 1'700'000'000'000.0;

  double NowMs() override {
    std::scoped_lock lock(mutex_);
    return nowMs_;
  }

  double WallClockMs() override {
    std::scoped_lock lock(mutex_);
    return wallClockMs_;
  }

  void SleepMs(int milliseconds) override {
    std::function<void(int)> hook;
    {
      std::scoped_lock lock(mutex_);
      sleeps_.push_back(milliseconds);
      hook = sleepHook_;
    }
    if (hook) {
      hook(milliseconds);
    }
    AdvanceMs(milliseconds > 0 ? milliseconds : 0);
  }

  bool WaitForArrival(common::ArrivalSignal& arrivals, std::uint64_t seenGeneration,
                      double deadlineMs) override {
    std::function<void(double)> hook;
    double remainingMs = 0;
    {
      std::scoped_lock lock(mutex_);
      remainingMs = deadlineMs - nowMs_;
      waits_.push_back(remainingMs);
      hook = waitHook_;
    }
    if (hook) {
      hook(remainingMs);
    }
    if (arrivals.Generation() != seenGeneration) {
      return true;
    }
    std::scoped_lock lock(mutex_);
    if (deadlineMs > nowMs_) {  // a hook may have moved time past the deadline
      wallClockMs_ += deadlineMs - nowMs_;
      nowMs_ = deadlineMs;
    }
    return false;
  }

  void AdvanceMs(double milliseconds) {
    std::scoped_lock lock(mutex_);
    nowMs_ += milliseconds;
    wallClockMs_ += milliseconds;
  }

  // Called with the requested duration at every SleepMs, before time moves.
  void SetSleepHook(std::function<void(int)> hook) {
    std::scoped_lock lock(mutex_);
    sleepHook_ = std::move(hook);
  }

  std::vector<int> Sleeps() const {
    std::scoped_lock lock(mutex_);
    return sleeps_;
  }

  // Called with the wait's length at every WaitForArrival, before it looks
  // at the signal: an arrival pushed here wakes the wait.
  void SetWaitHook(std::function<void(double)> hook) {
    std::scoped_lock lock(mutex_);
    waitHook_ = std::move(hook);
  }

  // The length of every WaitForArrival (deadline minus now), in order.
  std::vector<double> Waits() const {
    std::scoped_lock lock(mutex_);
    return waits_;
  }

 private:
  mutable std::mutex mutex_;
  double nowMs_ = 0;
  double wallClockMs_ = kDefaultWallClockMs;
  std::vector<int> sleeps_;
  std::function<void(int)> sleepHook_;
  std::vector<double> waits_;
  std::function<void(double)> waitHook_;
};

}  // namespace corvane::larchmere::plugin::test
