#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "engine-sim/SimControl.h"
#include "plugin/sdk/FaceLogin.h"

namespace keystead::sim::test {

namespace sdk = Corvane::QAV::SDK;
using namespace std::chrono_literals;

// Implements every engine callback and keeps what arrives, with the thread it came on.
class RecordingListener : public sdk::FrameCallback,
                          public sdk::EnrollCallback,
                          public sdk::RemoteMatchCallback,
                          public sdk::HybridMatchCallback,
                          public sdk::ProcessedFramesCallback,
                          public sdk::DeviceAuthenticatedCallback {
 public:
  // Runs inside OnFrame, after the frame was recorded; lets a test block or stop there.
  std::function<void()> onFrame;

  void OnFrame(const sdk::SDK_Frame& frame) override {
    Record(frames, frame);
    if (onFrame) onFrame();
  }
  void OnError(const sdk::SDK_ERROR& error) override { Record(errors, error); }
  void OnEnrollmentFeedback(const sdk::SDK_EnrollmentFeedback& feedback) override {
    Record(feedbacks, feedback);
  }
  void OnRemoteMatchFeedback(const sdk::SDK_RemoteMatchFeedback& feedback) override {
    Record(remoteResults, feedback);
  }
  void OnHybridMatchFeedback(const sdk::SDK_RemoteMatchFeedback& feedback) override {
    Record(hybridResults, feedback);
  }
  void OnProcessedFrames(const sdk::SDK_ProcessedFramesContainer& container) override {
    Record(processed, container);
  }
  void OnDeviceAuthenticated(const std::string& first, const std::string& second) override {
    Record(devices, {first, second});
  }

  // Reads the recorded state under the lock.
  template <typename Fn>
  auto Read(Fn&& read) {
    std::lock_guard<std::mutex> lock(mutex_);
    return read();
  }
  // Waits until `done` holds (evaluated under the lock); false on timeout.
  bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds timeout = 5s) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, timeout, done);
  }
  std::size_t FrameCount() {
    return Read([&] { return frames.size(); });
  }

  // Guarded by the listener's lock: use Read or WaitFor.
  std::vector<sdk::SDK_Frame> frames;
  std::vector<sdk::SDK_ERROR> errors;
  std::vector<sdk::SDK_EnrollmentFeedback> feedbacks;
  std::vector<sdk::SDK_RemoteMatchFeedback> remoteResults;
  std::vector<sdk::SDK_RemoteMatchFeedback> hybridResults;
  std::vector<sdk::SDK_ProcessedFramesContainer> processed;
  std::vector<std::pair<std::string, std::string>> devices;
  std::vector<std::thread::id> threads;

 private:
  // Appends `item` and the calling thread under the lock, then wakes WaitFor.
  template <typename T>
  void Record(std::vector<T>& list, T item) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      list.push_back(std::move(item));
      threads.push_back(std::this_thread::get_id());
    }
    changed_.notify_all();
  }

  std::mutex mutex_;
  std::condition_variable changed_;
};

// A clean simulator with quick frames and timelines, and one engine.
class SimTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Reset();
    Configure([](Config& config) {
      config.camera.fps = 50;
      for (auto& [name, events] : config.timelines) {
        for (TimelineEvent& event : events) event.after = 5ms;
      }
    });
    engine = CreateFaceLogin();
    ASSERT_NE(engine, nullptr);
  }
  void TearDown() override {
    engine.reset();
    Reset();
  }

  RecordingListener listener;  // declared first: outlives the engine that calls it
  std::shared_ptr<sdk::FaceLogin> engine;
};

inline sdk::MatchContext Context(const std::string& correlationId) {
  return sdk::MatchContext{R"({"userData":{"email":"a@b.c"}})", correlationId, "a@b.c"};
}

inline const std::string kCorrelationId = "QCID0123456789abcdef0123456789abcdef0123QCID";

}  // namespace keystead::sim::test
