#pragma once

#include <string>

#include "engine-sim/SimConfig.h"
#include "plugin/sdk/SDKCallbacks.h"

namespace keystead::sim {

// Callbacks an operation was given (null where it has none). Caller-owned.
struct Callbacks {
  sdk::EnrollCallback* enroll = nullptr;
  sdk::ProcessedFramesCallback* processed = nullptr;
  sdk::RemoteMatchCallback* remoteMatch = nullptr;
  sdk::HybridMatchCallback* hybrid = nullptr;
  sdk::DeviceAuthenticatedCallback* device = nullptr;
};

// The error interface of `target` among `callbacks`; null when not registered.
// Listener::Frame is never among them (frames belong to the capture).
sdk::IListener* ListenerFor(const Callbacks& callbacks, Listener target);

// Emits one timeline event to the callbacks of the operation that scheduled it.
// Feedback goes to the enrollment callback, or as an error to the remote-match
// callback when there is none; a result goes to the hybrid callback, else the
// remote-match callback, with `correlationId` filled in; an event whose callback
// is missing is skipped.
void DeliverEvent(const TimelineEvent& event, const Callbacks& callbacks,
                  const std::string& correlationId);

// `count` processed frames as the engine reports an enrollment's result.
sdk::SDK_ProcessedFramesContainer MakeProcessedFrames(int count);

}  // namespace keystead::sim
