#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

#include "plugin/common/ArrivalSignal.h"
#include "plugin/common/ListenerQueue.h"
#include "plugin/sdk/SDKCallbacks.h"
#include "plugin/sdk/SDKTypes.h"

namespace corvane::larchmere::plugin::common {

// Base of the plug-in's engine listeners: keeps the engine's errors for the
// polling handlers, notices when the selected camera is unusable, and tells
// the waiting polls of everything it queues or flags (ArrivalSignal).
//
// Notifications arrive on engine threads, the queries on request threads;
// every member is thread-safe. A listener must outlive every engine operation
// it was handed to (see LMListenerHolder).
class LMListener : public virtual Corvane::QAV::SDK::IListener {
 public:
  // Bound of the error queue and of the feedback listeners' queues: far more
  // than one poll ever needs, small enough that an unpolled session stays
  // cheap. The oldest entries are dropped first.
  static constexpr std::size_t kMaxQueuedEntries = 64;

  // Engine codes that mean "no camera selected or the camera is invalid".
  static constexpr int kCameraNotSelected = 0x1600;
  static constexpr int kCameraInvalid = 0x1601;
  static constexpr int kCameraUnavailable = 0x1605;

  // `arrivals` (not owned, may be null for a listener used alone) must
  // outlive the listener. LMListener is a virtual base: the most-derived
  // listener's constructor passes it.
  explicit LMListener(ArrivalSignal* arrivals = nullptr);
  ~LMListener() override;

  LMListener(const LMListener&) = delete;
  LMListener& operator=(const LMListener&) = delete;

  // Sets the invalid-camera flag for the camera codes above, then queues a
  // copy of the error when its source is 1 to 4 (others are dropped); either
  // counts as an arrival.
  void OnError(const Corvane::QAV::SDK::SDK_ERROR& error) final;

  // The newest queued error, after which the error queue is empty; null when
  // none is queued.
  std::shared_ptr<Corvane::QAV::SDK::SDK_ERROR> TakeNewestError();
  bool HasErrors() const;
  std::size_t ErrorCount() const;
  void EmptyErrorQueue();

  // Empties the listener's own result queue.
  virtual void EmptyQueue() = 0;

  // The flag stays set until UnsetInvalidCamera.
  bool IsInvalidCamera() const;
  void UnsetInvalidCamera();

 protected:
  // Wakes the waiting polls; called once an entry is queued and its queue's
  // lock released.
  void SignalArrival();

 private:
  ArrivalSignal* const arrivals_;
  ListenerQueue<Corvane::QAV::SDK::SDK_ERROR> errors;
  std::atomic<bool> invalidCamera{false};
};

}  // namespace corvane::larchmere::plugin::common
