#pragma once

#include <cstddef>
#include <memory>

#include "plugin/common/LMListener.h"
#include "plugin/common/ListenerQueue.h"
#include "plugin/sdk/SDKCallbacks.h"
#include "plugin/sdk/SDKTypes.h"

namespace corvane::larchmere::plugin::common {

// Keeps the results of local (hybrid) and add-device matches. Thread-safe
// (see LMListener).
class LMHybridMatchListener : public virtual Corvane::QAV::SDK::HybridMatchCallback,
                              public virtual LMListener {
 public:
  // `arrivals` as for LMListener.
  explicit LMHybridMatchListener(ArrivalSignal* arrivals = nullptr);
  ~LMHybridMatchListener() override;

  // Always queues a copy.
  void OnHybridMatchFeedback(const Corvane::QAV::SDK::SDK_RemoteMatchFeedback& feedback) override;

  // The oldest result, left queued (read-only for the caller); null when empty.
  std::shared_ptr<Corvane::QAV::SDK::SDK_RemoteMatchFeedback> PeekOldest() const;
  // The newest result, after which the queue is empty; null when empty.
  std::shared_ptr<Corvane::QAV::SDK::SDK_RemoteMatchFeedback> TakeNewest();
  bool HasEntries() const;
  std::size_t Size() const;
  void EmptyQueue() override;

 private:
  ListenerQueue<Corvane::QAV::SDK::SDK_RemoteMatchFeedback> feedbacks;
};

}  // namespace corvane::larchmere::plugin::common
