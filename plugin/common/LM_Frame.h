#pragma once

#include <memory>

#include "plugin/sdk/SDKTypes.h"

namespace corvane::larchmere::plugin::common {

// A camera frame kept by the frame listener: a private deep copy of the
// engine's frame and the wall-clock time it arrived, in whole seconds
// expressed as milliseconds since the epoch (comparable with the session's
// startTimeMs).
struct LM_Frame {
  std::shared_ptr<Corvane::QAV::SDK::SDK_Frame> frame;
  double arrivalTimeMs = 0;
};

}  // namespace corvane::larchmere::plugin::common
