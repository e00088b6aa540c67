#include "plugin/common/LMListener.h"

namespace corvane::larchmere::plugin::common {

using Corvane::QAV::SDK::SDK_ERROR;

namespace {

bool IsCameraError(int code) {
  return code == LMListener::kCameraNotSelected || code == LMListener::kCameraInvalid ||
         code == LMListener::kCameraUnavailable;
}

bool IsQueuedSource(int source) { return source >= 1 && source <= 4; }

}  // namespace

LMListener::LMListener(ArrivalSignal* arrivals) : arrivals_(arrivals), errors(kMaxQueuedEntries) {}

LMListener::~LMListener() = default;

void LMListener::OnError(const SDK_ERROR& error) {
  const bool cameraError = IsCameraError(error.code);
  if (cameraError) {
    invalidCamera.store(true);
  }
  const bool queued = IsQueuedSource(error.source);
  if (queued) {
    errors.Push(std::make_shared<SDK_ERROR>(error));
  }
  if (cameraError || queued) {
    SignalArrival();
  }
}

std::shared_ptr<SDK_ERROR> LMListener::TakeNewestError() { return errors.TakeNewest(); }

bool LMListener::HasErrors() const { return errors.HasEntries(); }

std::size_t LMListener::ErrorCount() const { return errors.Size(); }

void LMListener::EmptyErrorQueue() { errors.Clear(); }

bool LMListener::IsInvalidCamera() const { return invalidCamera.load(); }

void LMListener::UnsetInvalidCamera() { invalidCamera.store(false); }

void LMListener::SignalArrival() {
  if (arrivals_ != nullptr) {
    arrivals_->Notify();
  }
}

}  // namespace corvane::larchmere::plugin::common
