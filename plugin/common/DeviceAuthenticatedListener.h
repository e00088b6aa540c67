#pragma once

#include <string>

#include "plugin/entry/KeysteadPlugin.h"
#include "plugin/platform/Mutex.h"
#include "plugin/sdk/SDKCallbacks.h"
#include "plugin/sdk/SDKTypes.h"

namespace corvane::larchmere::plugin::common {

// Forwards the engine's companion-device notification straight to the host's
// `deviceAuthenticated` callback. The plug-in keeps one for the whole
// process; the start-up copies the host callbacks into it and registers it
// with the engine only when `deviceAuthenticated` is set (HasDeviceCallback).
//
// Thread-safe: the callbacks may be replaced while the engine notifies; the
// host is called with no lock held.
class DeviceAuthenticatedListener : public virtual Corvane::QAV::SDK::DeviceAuthenticatedCallback {
 public:
  DeviceAuthenticatedListener();
  ~DeviceAuthenticatedListener() override;

  DeviceAuthenticatedListener(const DeviceAuthenticatedListener&) = delete;
  DeviceAuthenticatedListener& operator=(const DeviceAuthenticatedListener&) = delete;

  // Keeps a copy of the whole record.
  void SetHostCallbacks(const HostCallbacks& callbacks);
  // A copy of the stored record (all null until set).
  HostCallbacks GetHostCallbacks() const;
  bool HasDeviceCallback() const;

  // Calls the stored `deviceAuthenticated` with both texts, in the order
  // received; does nothing when it is not set.
  void OnDeviceAuthenticated(const std::string& first, const std::string& second) override;
  // Engine errors are of no interest here.
  void OnError(const Corvane::QAV::SDK::SDK_ERROR& error) override;

 private:
  mutable Mutex callbacksMutex_;
  HostCallbacks hostCallbacks_ KS_GUARDED_BY(callbacksMutex_) = {};
};

}  // namespace corvane::larchmere::plugin::common
