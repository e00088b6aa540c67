#include "plugin/common/LMHybridMatchListener.h"

namespace corvane::larchmere::plugin::common {

using Corvane::QAV::SDK::SDK_RemoteMatchFeedback;

LMHybridMatchListener::LMHybridMatchListener(ArrivalSignal* arrivals) : LMListener(arrivals) {}

LMHybridMatchListener::~LMHybridMatchListener() = default;

void LMHybridMatchListener::OnHybridMatchFeedback(const SDK_RemoteMatchFeedback& feedback) {
  QueueCopy(feedback);
}

std::shared_ptr<SDK_RemoteMatchFeedback> LMHybridMatchListener::PeekOldest() const {
  return Queue().PeekOldest();
}

}  // namespace corvane::larchmere::plugin::common
