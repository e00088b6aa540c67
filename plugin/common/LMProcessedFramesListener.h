#pragma once

#include <cstddef>
#include <memory>

#include "plugin/common/LMListener.h"
#include "plugin/common/ListenerQueue.h"
#include "plugin/sdk/SDKCallbacks.h"
#include "plugin/sdk/SDKTypes.h"

namespace corvane::larchmere::plugin::common {

// Keeps the processed frames of an enrollment for the enrollment endpoint.
// Thread-safe (see LMListener).
class LMProcessedFramesListener : public virtual Corvane::QAV::SDK::ProcessedFramesCallback,
                                  public virtual LMListener {
 public:
  // `arrivals` as for LMListener.
  explicit LMProcessedFramesListener(ArrivalSignal* arrivals = nullptr);
  ~LMProcessedFramesListener() override;

  // Queues a copy unless the container holds no frame.
  void OnProcessedFrames(const Corvane::QAV::SDK::SDK_ProcessedFramesContainer& frames) override;

  // The newest container, after which the queue is empty; null when empty.
  std::shared_ptr<Corvane::QAV::SDK::SDK_ProcessedFramesContainer> TakeNewest();
  bool HasEntries() const;
  std::size_t Size() const;
  void EmptyQueue() override;

 private:
  ListenerQueue<Corvane::QAV::SDK::SDK_ProcessedFramesContainer> containers;
};

}  // namespace corvane::larchmere::plugin::common
