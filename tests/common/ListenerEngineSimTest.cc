// The listeners against the stand-in engine: real capture thread, real stop
// semantics (a stop from a request thread waits for the frame notification in
// progress; one from inside it only marks the stop).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <memory>
#include <string>
#include <thread>

#include "common/EngineRecords.h"
#include "common/ManualClock.h"
#include "engine-sim/SimControl.h"
#include "plugin/common/CaptureLock.h"
#include "plugin/common/LMListenerHolder.h"
#include "plugin/sdk/FaceLogin.h"

namespace corvane::larchmere::plugin::common {
namespace {

using keystead::test::FrameWithImage;
using keystead::test::kCorrelationId;
using namespace std::chrono_literals;
namespace sim = keystead::sim;

class ListenerEngineSimConcurrencyTest : public testing::Test {
 protected:
  void SetUp() override {
    sim::Reset();
    sim::Configure([](sim::Config& config) {
      config.camera.autoFrames = false;  // only the frames this test pushes
      config.autoTimelines = false;
    });
    engine = CreateFaceLogin();
    ASSERT_NE(engine, nullptr);
    holder = std::make_unique<LMListenerHolder>(engine, clock);
  }

  void TearDown() override {
    // The owner's duty before destroying the holder: no callback may run on.
    if (engine) {
      engine->StopRemoteBiometricData();
    }
    holder.reset();
    engine.reset();
    sim::Reset();
  }

  void StartCapture() {
    FrameSessionState& state = holder->State();
    CaptureLock capture(state);
    state.BeginSession(clock->WallClockWholeSecondsMs());
    ASSERT_EQ(engine->StartRemoteBiometricData(&holder->FrameListener(), 0), 0);
  }

  std::shared_ptr<test::ManualClock> clock = std::make_shared<test::ManualClock>();
  std::shared_ptr<Corvane::QAV::SDK::FaceLogin> engine;
  std::unique_ptr<LMListenerHolder> holder;
};

TEST_F(ListenerEngineSimConcurrencyTest, TimeOutStopsTheEngineWhileAFrameStopWaitsForIt) {
  StartCapture();
  holder->AdmitCorrelationId(kCorrelationId);
  ASSERT_TRUE(sim::PushFrame(FrameWithImage(16)));
  const auto shown = holder->FrameListener().TakeNewest();
  ASSERT_NE(shown, nullptr);
  EXPECT_EQ(shown->frame->image.size(), 16u);

  // During the clean-up window a frame-stop request arrives: it takes the
  // capture lock and calls the engine's stop, which waits for the capture
  // thread that runs the time-out.
  std::promise<void> stopReturned;
  std::future<void> stopDone = stopReturned.get_future();
  std::thread stopRequest;
  clock->SetSleepHook([&](int milliseconds) {
    if (milliseconds == DisplayTimeOut::kCleanUpWindowMs) {
      stopRequest = std::thread([&] {
        CaptureLock capture(holder->State());
        engine->StopRemoteBiometricData();
        stopReturned.set_value();
      });
    }
  });
  clock->AdvanceMs(7000);

  ASSERT_TRUE(sim::PushFrame(FrameWithImage(16)));  // returns once the notification returned
  if (stopDone.wait_for(30s) != std::future_status::ready) {
    std::fprintf(stderr, "DEADLOCK: the frame stop never returned\n");
    std::abort();
  }
  stopRequest.join();

  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 2u);
  EXPECT_FALSE(holder->State().IsStarted());
  EXPECT_FALSE(holder->State().IsTimeOutInProgress());
  EXPECT_TRUE(holder->State().CorrelationIds().empty());
  EXPECT_FALSE(holder->FrameListener().HasEntries());
  EXPECT_FALSE(sim::PushFrame(FrameWithImage(16)));  // the capture is over
}

TEST_F(ListenerEngineSimConcurrencyTest, EngineReportsAMissingCameraToTheFrameListener) {
  sim::Configure([](sim::Config& config) { config.videoDevices.clear(); });
  StartCapture();
  // The error travels on the capture thread; a pushed frame queues behind it.
  ASSERT_TRUE(sim::PushFrame(FrameWithImage(1)));

  EXPECT_TRUE(holder->IsInvalidCamera());
  const auto error = holder->FrameListener().TakeNewestError();
  ASSERT_NE(error, nullptr);
  EXPECT_EQ(error->code, 5633);
}

}  // namespace
}  // namespace corvane::larchmere::plugin::common
