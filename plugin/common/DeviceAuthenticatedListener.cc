#include "plugin/common/DeviceAuthenticatedListener.h"

namespace corvane::larchmere::plugin::common {

DeviceAuthenticatedListener::DeviceAuthenticatedListener() = default;

DeviceAuthenticatedListener::~DeviceAuthenticatedListener() = default;

void DeviceAuthenticatedListener::SetHostCallbacks(const HostCallbacks& callbacks) {
  MutexLock lock(callbacksMutex_);
  hostCallbacks_ = callbacks;
}

HostCallbacks DeviceAuthenticatedListener::GetHostCallbacks() const {
  MutexLock lock(callbacksMutex_);
  return hostCallbacks_;
}

bool DeviceAuthenticatedListener::HasDeviceCallback() const {
  return GetHostCallbacks().deviceAuthenticated != nullptr;
}

void DeviceAuthenticatedListener::OnDeviceAuthenticated(const std::string& first,
                                                        const std::string& second) {
  const KsDeviceAuthenticatedFn notify = GetHostCallbacks().deviceAuthenticated;
  if (notify != nullptr) {
    notify(first.c_str(), second.c_str());
  }
}

void DeviceAuthenticatedListener::OnError(const Corvane::QAV::SDK::SDK_ERROR&) {}

}  // namespace corvane::larchmere::plugin::common
