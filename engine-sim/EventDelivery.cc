#include "engine-sim/EventDelivery.h"

namespace keystead::sim {
namespace {

// Base64 of "keystead-sim-face-0": a stand-in for an encoded face crop.
constexpr const char* kFaceImage = "a2V5c3RlYWQtc2ltLWZhY2UtMA==";

sdk::SDK_ERROR ErrorOf(const TimelineEvent& event) {
  sdk::SDK_ERROR error;
  error.source = event.source;
  error.code = event.code;
  error.description = event.description;
  return error;
}

void DeliverFeedback(const TimelineEvent& event, const Callbacks& callbacks) {
  if (callbacks.enroll != nullptr) {
    sdk::SDK_EnrollmentFeedback feedback;
    feedback.code = event.code;
    feedback.description = event.description;
    callbacks.enroll->OnEnrollmentFeedback(feedback);
  } else if (callbacks.remoteMatch != nullptr) {
    callbacks.remoteMatch->OnError(ErrorOf(event));
  }
}

void DeliverResult(const TimelineEvent& event, const Callbacks& callbacks,
                   const std::string& correlationId) {
  sdk::SDK_RemoteMatchFeedback result = event.result;
  result.correlationId = correlationId;
  if (callbacks.hybrid != nullptr) {
    callbacks.hybrid->OnHybridMatchFeedback(result);
  } else if (callbacks.remoteMatch != nullptr) {
    callbacks.remoteMatch->OnRemoteMatchFeedback(result);
  }
}

void DeliverError(const TimelineEvent& event, const Callbacks& callbacks) {
  const Listener fallback = callbacks.enroll != nullptr ? Listener::Enroll : Listener::RemoteMatch;
  sdk::IListener* listener = ListenerFor(callbacks, event.target.value_or(fallback));
  if (listener != nullptr) listener->OnError(ErrorOf(event));
}

}  // namespace

sdk::IListener* ListenerFor(const Callbacks& callbacks, Listener target) {
  switch (target) {
    case Listener::Enroll:
      return callbacks.enroll;
    case Listener::ProcessedFrames:
      return callbacks.processed;
    case Listener::RemoteMatch:
      return callbacks.remoteMatch;
    case Listener::HybridMatch:
      return callbacks.hybrid;
    case Listener::DeviceAuthenticated:
      return callbacks.device;
    case Listener::Frame:
      break;
  }
  return nullptr;
}

void DeliverEvent(const TimelineEvent& event, const Callbacks& callbacks,
                  const std::string& correlationId) {
  switch (event.type) {
    case EventType::Feedback:
      DeliverFeedback(event, callbacks);
      break;
    case EventType::ProcessedFrames:
      if (callbacks.processed != nullptr) {
        callbacks.processed->OnProcessedFrames(MakeProcessedFrames(event.frameCount));
      }
      break;
    case EventType::Error:
      DeliverError(event, callbacks);
      break;
    case EventType::Result:
      DeliverResult(event, callbacks, correlationId);
      break;
    case EventType::DeviceAuthenticated:
      if (callbacks.device != nullptr) {
        callbacks.device->OnDeviceAuthenticated(event.first, event.second);
      }
      break;
  }
}

sdk::SDK_ProcessedFramesContainer MakeProcessedFrames(int count) {
  sdk::SDK_ProcessedFramesContainer container;
  for (int i = 0; i < count; ++i) {
    const std::string number = std::to_string(i + 1);
    container.frames.push_back(
        {kFaceImage, "sim-attested-data-" + number, "sim-jwt-certificate-" + number});
  }
  return container;
}

}  // namespace keystead::sim
