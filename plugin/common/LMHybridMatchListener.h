#pragma once

#include <memory>

#include "plugin/common/LMQueueListener.h"
#include "plugin/sdk/SDKCallbacks.h"
#include "plugin/sdk/SDKTypes.h"

namespace corvane::larchmere::plugin::common {

// Keeps the results of local (hybrid) and add-device matches. Thread-safe
// (see LMListener).
class LMHybridMatchListener : public virtual Corvane::QAV::SDK::HybridMatchCallback,
                              public LMQueueListener<Corvane::QAV::SDK::SDK_RemoteMatchFeedback> {
 public:
  // `arrivals` as for LMListener.
  explicit LMHybridMatchListener(ArrivalSignal* arrivals = nullptr);
  ~LMHybridMatchListener() override;

  // Always queues a copy.
  void OnHybridMatchFeedback(const Corvane::QAV::SDK::SDK_RemoteMatchFeedback& feedback) override;

  // The oldest result, left queued (read-only for the caller); null when empty.
  std::shared_ptr<Corvane::QAV::SDK::SDK_RemoteMatchFeedback> PeekOldest() const;
};

}  // namespace corvane::larchmere::plugin::common
