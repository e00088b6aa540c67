#pragma once

#include <cstddef>
#include <memory>
#include <string>

#include "plugin/common/LMListener.h"
#include "plugin/common/ListenerQueue.h"
#include "plugin/sdk/SDKCallbacks.h"
#include "plugin/sdk/SDKTypes.h"

namespace corvane::larchmere::plugin::common {

// Keeps the engine's remote-match feedback. Several pages may poll at once,
// so each entry carries the correlation id of the request that started its
// match, and a poller looks only for its own (FindByCorrelationId).
// Thread-safe (see LMListener).
class LMMatchFeedbackListener : public virtual Corvane::QAV::SDK::RemoteMatchCallback,
                                public virtual LMListener {
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
  // The newest feedback, after which the queue is empty; null when empty.
  std::shared_ptr<Corvane::QAV::SDK::SDK_RemoteMatchFeedback> TakeNewest();
  bool HasEntries() const;
  std::size_t Size() const;
  void EmptyQueue() override;

 private:
  ListenerQueue<Corvane::QAV::SDK::SDK_RemoteMatchFeedback> feedbacks;
};

}  // namespace corvane::larchmere::plugin::common
