#pragma once

#include <cstddef>
#include <string>

#include "plugin/sdk/SDKTypes.h"

// The engine records the listener and session tests feed to the plug-in,
// with only the fields a test varies set.
namespace keystead::test {

// A well-formed Q-Correlation-Id (44 characters).
inline const std::string kCorrelationId = "QCID97c096e3-52fe-4fbd-88a6-4a16a4bcaae8QCID";

inline Corvane::QAV::SDK::SDK_ERROR EngineError(int source, int code,
                                                const std::string& description = "engine error") {
  Corvane::QAV::SDK::SDK_ERROR error;
  error.source = source;
  error.code = code;
  error.description = description;
  return error;
}

inline Corvane::QAV::SDK::SDK_RemoteMatchFeedback MatchFeedback(const std::string& correlationId,
                                                                int nextStep = 0) {
  Corvane::QAV::SDK::SDK_RemoteMatchFeedback feedback;
  feedback.correlationId = correlationId;
  feedback.nextStep = nextStep;
  return feedback;
}

// A frame of frameSize bytes of image.
inline Corvane::QAV::SDK::SDK_Frame FrameWithImage(int frameSize) {
  Corvane::QAV::SDK::SDK_Frame frame;
  frame.image = std::string(static_cast<std::size_t>(frameSize), 'p');
  frame.frameSize = frameSize;
  return frame;
}

}  // namespace keystead::test
