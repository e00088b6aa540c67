#pragma once

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "plugin/sdk/FaceLogin.h"

namespace corvane::larchmere::plugin::test {

// An in-process engine for the listener tests. Capture behaves like the real
// engine's: frames are delivered on the thread that calls DeliverFrame (the
// test's "capture thread"); StopRemoteBiometricData called from inside a
// frame notification only marks the stop, called from any other thread it
// waits until the notification in progress has returned. Every other
// operation succeeds and does nothing. Thread-safe.
class FakeFaceLogin : public Corvane::QAV::SDK::FaceLogin {
 public:
  using FrameCallback = Corvane::QAV::SDK::FrameCallback;

  // --- Scripting and inspection ---
  std::atomic<int> stopResult{0};
  std::atomic<bool> throwOnStop{false};
  std::atomic<int> stopCalls{0};
  std::atomic<int> stopCallsFromFrameThread{0};
  std::atomic<int> startCalls{0};
  // Stops called from outside a frame notification that are waiting for it.
  std::atomic<int> stopsWaiting{0};

  // Runs on the capture thread once a frame notification is under way (the
  // engine counts it as in progress), just before the listener is called.
  void SetBeforeFrameHook(std::function<void()> hook) {
    std::scoped_lock lock(mutex_);
    beforeFrame_ = std::move(hook);
  }

  // Delivers one frame to the capture's frame callback on the calling thread;
  // false when no capture runs.
  bool DeliverFrame(const Corvane::QAV::SDK::SDK_Frame& frame) {
    FrameCallback* callback = nullptr;
    std::function<void()> hook;
    {
      std::scoped_lock lock(mutex_);
      if (frameCallback_ == nullptr) {
        return false;
      }
      callback = frameCallback_;
      hook = beforeFrame_;
      ++callbacksInProgress_;
      deliveringThreads_.push_back(std::this_thread::get_id());
    }
    if (hook) {
      hook();
    }
    callback->OnFrame(frame);
    {
      std::scoped_lock lock(mutex_);
      --callbacksInProgress_;
      std::erase(deliveringThreads_, std::this_thread::get_id());
    }
    idle_.notify_all();
    return true;
  }

  bool IsCapturing() const {
    std::scoped_lock lock(mutex_);
    return frameCallback_ != nullptr;
  }

  // --- FaceLogin ---
  int Initialize(int) override { return 0; }

  int StartRemoteBiometricData(FrameCallback* callback, int) override {
    ++startCalls;
    std::scoped_lock lock(mutex_);
    frameCallback_ = callback;
    return 0;
  }

  int StopRemoteBiometricData() override {
    ++stopCalls;
    if (throwOnStop) {
      throw std::runtime_error("engine connection lost");
    }
    if (stopResult != 0) {
      return stopResult;
    }
    std::unique_lock lock(mutex_);
    frameCallback_ = nullptr;
    if (std::find(deliveringThreads_.begin(), deliveringThreads_.end(),
                  std::this_thread::get_id()) != deliveringThreads_.end()) {
      ++stopCallsFromFrameThread;
      return 0;
    }
    ++stopsWaiting;
    idle_.wait(lock, [this] { return callbacksInProgress_ == 0; });
    --stopsWaiting;
    return 0;
  }

  int LocalMatch(Corvane::QAV::SDK::HybridMatchCallback*, Corvane::QAV::SDK::EnrollCallback*, int,
                 const Corvane::QAV::SDK::MatchContext&, int) override {
    return 0;
  }
  int TryLocalMatch(Corvane::QAV::SDK::HybridMatchCallback*, Corvane::QAV::SDK::EnrollCallback*,
                    int, const Corvane::QAV::SDK::MatchContext&, int, const std::string&) override {
    return 0;
  }
  int IsAlive(Corvane::QAV::SDK::ServiceReadiness&) override { return 0; }
  int VerifyRat(const std::string&, int, std::string&) override { return 0; }
  int RetryRemoteOperations(int) override { return 0; }
  int RemoteEnroll(Corvane::QAV::SDK::ProcessedFramesCallback*,
                   Corvane::QAV::SDK::EnrollCallback*) override {
    return 0;
  }
  int HybridEnroll(Corvane::QAV::SDK::ProcessedFramesCallback*, Corvane::QAV::SDK::EnrollCallback*,
                   const std::string&, bool, const std::string&) override {
    return 0;
  }
  int AddDeviceMatch(Corvane::QAV::SDK::HybridMatchCallback*, Corvane::QAV::SDK::EnrollCallback*,
                     int, const Corvane::QAV::SDK::MatchContext&, const std::string&) override {
    return 0;
  }
  int RemoteMatch(const Corvane::QAV::SDK::MatchContext&, Corvane::QAV::SDK::RemoteMatchCallback*,
                  int) override {
    return 0;
  }
  int AddFingerprintFactor(int&, const std::string&, const std::string&, const std::string&,
                           const std::string&) override {
    return 0;
  }
  int AuthenticateFingerprint(Corvane::QAV::SDK::MatchResult&, const std::string&,
                              const std::string&, const std::string&, const std::string&,
                              const std::string&, const std::string&) override {
    return 0;
  }
  int GetServiceStatus(Corvane::QAV::SDK::EngineStatus&) override { return 0; }
  int SignPacket(const std::string&, std::string&) override { return 0; }
  int GetDeviceContext(const std::string&, std::string&) override { return 0; }
  int ReportMetric(const std::string&, int, int, const std::string&, const std::string&) override {
    return 0;
  }
  int SelectVideoDevice(const std::string&) override { return 0; }
  int ListVideoDevices(std::vector<Corvane::QAV::SDK::VideoDevice>&) override { return 0; }
  int QueryVideoDeviceStatus(int&) override { return 0; }
  int ListRemoteUsers(Corvane::QAV::SDK::RemoteUserList&, const std::string&) override { return 0; }
  int ListCloudServers(std::vector<Corvane::QAV::SDK::CloudServer>&) override { return 0; }
  int RemoteSessionSync(const std::string&, int, const std::string&,
                        Corvane::QAV::SDK::SDK_CloudAction*) override {
    return 0;
  }
  int SetFaceIndicatorColor(int*) override { return 0; }
  int SetPreviewType(int*) override { return 0; }
  int SetLocalSetting(const Corvane::QAV::SDK::LocalSetting&) override { return 0; }
  int GetEngineSetting(Corvane::QAV::SDK::LocalSetting&, const std::string&) override { return 0; }
  int GetNewPairedDevices(std::string&, const std::string&) override { return 0; }
  int AddCADevice(Corvane::QAV::SDK::MatchResult&, const std::string&, const std::string&,
                  const std::string&, const std::string&, const std::string&) override {
    return 0;
  }
  int AuthenticateWithCADevice(Corvane::QAV::SDK::MatchResult&, const std::string&,
                               const std::string&, const std::string&) override {
    return 0;
  }
  int SetDeviceAuthenticatedCallback(Corvane::QAV::SDK::DeviceAuthenticatedCallback*) override {
    return 0;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable idle_;
  FrameCallback* frameCallback_ = nullptr;          // guarded by mutex_
  int callbacksInProgress_ = 0;                     // guarded by mutex_
  std::vector<std::thread::id> deliveringThreads_;  // guarded by mutex_
  std::function<void()> beforeFrame_;               // guarded by mutex_
};

}  // namespace corvane::larchmere::plugin::test
