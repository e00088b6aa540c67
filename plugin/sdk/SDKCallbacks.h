#pragma once

#include <string>

#include "plugin/sdk/SDKTypes.h"

namespace Corvane::QAV::SDK {

// Notification interfaces. The engine calls them on its own threads; records
// are only borrowed for the duration of the call (copy what must be kept).

class IListener {
 public:
  virtual ~IListener() = default;
  virtual void OnError(const SDK_ERROR& error) = 0;
};

class FrameCallback : public virtual IListener {
 public:
  virtual void OnFrame(const SDK_Frame& frame) = 0;
};

class EnrollCallback : public virtual IListener {
 public:
  virtual void OnEnrollmentFeedback(const SDK_EnrollmentFeedback& feedback) = 0;
};

class RemoteMatchCallback : public virtual IListener {
 public:
  virtual void OnRemoteMatchFeedback(const SDK_RemoteMatchFeedback& feedback) = 0;
};

class HybridMatchCallback : public virtual IListener {
 public:
  virtual void OnHybridMatchFeedback(const SDK_RemoteMatchFeedback& feedback) = 0;
};

class ProcessedFramesCallback : public virtual IListener {
 public:
  virtual void OnProcessedFrames(const SDK_ProcessedFramesContainer& frames) = 0;
};

class DeviceAuthenticatedCallback : public virtual IListener {
 public:
  virtual void OnDeviceAuthenticated(const std::string& first, const std::string& second) = 0;
};

}  // namespace Corvane::QAV::SDK
