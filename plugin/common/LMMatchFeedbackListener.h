#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "plugin/common/LMQueueListener.h"
#include "plugin/sdk/SDKCallbacks.h"
#include "plugin/sdk/SDKTypes.h"

namespace corvane::larchmere::plugin::common {

// Keeps the engine's remote-match feedback. Several pages may poll at once,
// so each entry carries the correlation id of the request that started its
// match, and a poller looks only for its own (FindByCorrelationId).
// Thread-safe (see LMListener).
class LMMatchFeedbackListener : public virtual Corvane::QAV::SDK::RemoteMatchCallback,
                                public LMQueueListener<Corvane::QAV::SDK::SDK_RemoteMatchFeedback> {
 public:
  // Length of a valid Q-Correlation-Id.
  static constexpr std::size_t kCorrelationIdLength = 44;

  // `arrivals` as for LMListener.
  explicit LMMatchFeedbackListener(ArrivalSignal* arrivals = nullptr);
  ~LMMatchFeedbackListener() override;

  // Queues a copy only when its correlation id is exactly 44 characters long:
  // feedback that no poller could claim is dropped.
  void OnRemoteMatchFeedback(const Corvane::QAV::SDK::SDK_RemoteMatchFeedback& feedback) override;

  // Scanning from the oldest, the first feedback carrying `correlationId`; it
  // stays queued (read-only for the caller). Null when there is none.
  std::shared_ptr<Corvane::QAV::SDK::SDK_RemoteMatchFeedback> FindByCorrelationId(
      const std::string& correlationId) const;
};

}  // namespace corvane::larchmere::plugin::common
