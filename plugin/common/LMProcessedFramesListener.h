#pragma once

#include "plugin/common/LMQueueListener.h"
#include "plugin/sdk/SDKCallbacks.h"
#include "plugin/sdk/SDKTypes.h"

namespace corvane::larchmere::plugin::common {

// Keeps the processed frames of an enrollment for the enrollment endpoint.
// Thread-safe (see LMListener).
class LMProcessedFramesListener
    : public virtual Corvane::QAV::SDK::ProcessedFramesCallback,
      public LMQueueListener<Corvane::QAV::SDK::SDK_ProcessedFramesContainer> {
 public:
  // `arrivals` as for LMListener.
  explicit LMProcessedFramesListener(ArrivalSignal* arrivals = nullptr);
  ~LMProcessedFramesListener() override;

  // Queues a copy unless the container holds no frame.
  void OnProcessedFrames(const Corvane::QAV::SDK::SDK_ProcessedFramesContainer& frames) override;
};

}  // namespace corvane::larchmere::plugin::common
