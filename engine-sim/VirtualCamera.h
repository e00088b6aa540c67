#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "engine-sim/SimConfig.h"
#include "plugin/sdk/SDKCallbacks.h"

namespace keystead::sim {

// The capture thread: while a capture runs it delivers the moving test picture at
// the configured rate, and whatever is pushed through Deliver, to one frame
// callback. Never runs two frame callbacks at once. Thread-safe.
class VirtualCamera {
 public:
  using SettingsSource = std::function<CameraSettings()>;
  using Delivery = std::function<void(sdk::FrameCallback&)>;

  // `settings` is read before every frame, on the capture thread.
  explicit VirtualCamera(SettingsSource settings);
  // Stops the capture. Must not run on the capture thread.
  ~VirtualCamera();

  VirtualCamera(const VirtualCamera&) = delete;
  VirtualCamera& operator=(const VirtualCamera&) = delete;

  // Starts the capture with `callback` (not null). While a capture runs it swaps
  // the callback instead, and once it returns the previous callback is not running.
  // After a stop marked inside a frame callback it waits for that callback to
  // return, then starts afresh; called inside that callback it returns kErrorBusy.
  int Start(sdk::FrameCallback* callback);
  // Once this returns no frame callback runs or will run. Called inside a frame
  // callback it only marks the stop; the capture thread ends after the callback.
  void Stop();
  // Queues `delivery` for the capture thread; with `wait`, returns once it ran.
  // False when no capture runs or it stopped before the delivery ran. On the
  // capture thread it runs inline.
  bool Deliver(Delivery delivery, bool wait);

 private:
  using Clock = std::chrono::steady_clock;
  struct Pending {
    Delivery delivery;
    std::shared_ptr<std::promise<bool>> done;  // null when nobody waits
  };

  enum class Step { kStop, kIdle, kDeliver };

  void Run();
  // Waits for the next frame or pushed delivery; on kDeliver fills `job` and the
  // callback to run it with and marks the delivery in flight.
  Step NextDelivery(const CameraSettings& settings, Clock::time_point& nextFrame,
                    std::uint64_t& frameIndex, Pending& job, sdk::FrameCallback*& callback);
  void FinishDelivery(const Pending& job);
  bool OnCaptureThreadLocked() const;

  const SettingsSource settings_;

  std::mutex lifecycleMutex_;  // serialises Start and Stop outside the capture thread
  std::thread thread_;         // guarded by lifecycleMutex_

  mutable std::mutex mutex_;      // guards everything below
  std::condition_variable wake_;  // work queued or stop requested
  std::condition_variable idle_;  // a delivery finished
  sdk::FrameCallback* callback_ = nullptr;
  std::thread::id threadId_;
  bool running_ = false;  // the capture thread has not finished yet
  bool stopRequested_ = false;
  bool delivering_ = false;
  std::uint64_t finishedDeliveries_ = 0;
  std::deque<Pending> pending_;
};

}  // namespace keystead::sim
