#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "common/EngineRecords.h"
#include "common/FakeFaceLogin.h"
#include "common/ManualClock.h"
#include "plugin/common/CaptureLock.h"
#include "plugin/common/LMListenerHolder.h"
#include "support/Watchdog.h"

namespace corvane::larchmere::plugin::common {
namespace {

using Corvane::QAV::SDK::SDK_EnrollmentFeedback;
using Corvane::QAV::SDK::SDK_ERROR;
using Corvane::QAV::SDK::SDK_Frame;
using Corvane::QAV::SDK::SDK_RemoteMatchFeedback;
using keystead::test::FrameWithImage;
using keystead::test::kCorrelationId;
using keystead::test_support::RunWithWatchdog;
using namespace std::chrono_literals;

class ListenerConcurrencyTest : public testing::Test {
 protected:
  // What a capture-starting request does: flags under the session lock,
  // the engine call under the capture lock only.
  void StartCapture() {
    CaptureLock capture(state);
    if (!state.IsStarted()) {
      state.BeginSession(clock->WallClockWholeSecondsMs());
      engine->StartRemoteBiometricData(&holder.FrameListener(), 0);
    }
  }

  // What the frame-stop endpoint does.
  void StopCapture() {
    CaptureLock capture(state);
    if (state.IsStarted() && engine->StopRemoteBiometricData() == 0) {
      holder.ResetCaptureSession(StoredFramesPolicy::kKeep);
    }
  }

  std::shared_ptr<test::ManualClock> clock = std::make_shared<test::ManualClock>();
  std::shared_ptr<test::FakeFaceLogin> engine = std::make_shared<test::FakeFaceLogin>();
  LMListenerHolder holder{engine, clock};
  FrameSessionState& state = holder.State();
};

TEST_F(ListenerConcurrencyTest, TimeOutsOnTheFrameThreadNeverDeadlockWithRequests) {
  // The clean-up pauses really yield for a moment, so requests overlap them.
  clock->SetSleepHook([](int) { std::this_thread::sleep_for(1ms); });
  StartCapture();
  holder.AdmitCorrelationId(kCorrelationId);

  RunWithWatchdog(
      [this] {
        std::atomic<bool> engineDone{false};
        std::thread frameThread([&] {
          // Runs on until a time-out has fired at least once: on a loaded
          // machine the requests may restart the stopwatches every time.
          for (int frame = 0; frame < 3000 || engine->stopCallsFromFrameThread == 0; ++frame) {
            if (frame % 100 == 50) {
              clock->AdvanceMs(6000);  // the page went quiet
            }
            if (!engine->DeliverFrame(FrameWithImage(256))) {
              std::this_thread::yield();
            }
          }
          engineDone = true;
        });
        std::thread eventThread([&] {
          SDK_ERROR error;
          error.source = 2;
          error.code = 5633;
          SDK_RemoteMatchFeedback match;
          match.correlationId = kCorrelationId;
          while (!engineDone) {
            holder.EnrollFeedbackListener().OnEnrollmentFeedback(
                SDK_EnrollmentFeedback{"s", 1, {}});
            holder.MatchFeedbackListener().OnRemoteMatchFeedback(match);
            holder.HybridMatchListener().OnError(error);
            std::this_thread::yield();
          }
        });
        std::thread poller([&] {
          while (!engineDone) {
            const SessionFlags flags = state.ReadSessionFlags();
            if (!flags.timeOutInProgress) {
              holder.AdmitCorrelationId(kCorrelationId);
              if (!flags.started) {
                StartCapture();
              }
            }
            holder.FrameListener().TakeNewestIfNewerThan(state.StartTimeMs());
            holder.MatchFeedbackListener().FindByCorrelationId(kCorrelationId);
            holder.EnrollFeedbackListener().TakeNewest();
            holder.HybridMatchListener().TakeNewestError();
            if (holder.IsInvalidCamera()) {
              holder.UnsetInvalidCamera();
            }
            std::this_thread::sleep_for(1ms);
          }
        });
        std::thread stopper([&] {
          while (!engineDone) {
            StopCapture();
            holder.RestartStopwatchesIfSessionStarted();
            state.TryMarkOperationStarted();
            state.TryRecordMatchRestart(kCorrelationId, 3);
            std::this_thread::sleep_for(3ms);
          }
        });
        frameThread.join();
        eventThread.join();
        poller.join();
        stopper.join();
      },
      "the scenario", 60s);

  EXPECT_GT(engine->stopCallsFromFrameThread, 0);
  EXPECT_FALSE(holder.FrameListener().TimeOut().IsRunning());
  EXPECT_FALSE(state.IsTimeOutInProgress());
  EXPECT_LE(holder.FrameListener().Size(), LMFrameListener::kMaxQueuedFrames);
  EXPECT_LE(holder.MatchFeedbackListener().Size(), LMListener::kMaxQueuedEntries);
}

TEST_F(ListenerConcurrencyTest, FrameStopWaitingForAFiringTimeOutDoesNotDeadlock) {
  StartCapture();
  holder.AdmitCorrelationId(kCorrelationId);
  clock->AdvanceMs(7000);
  // The frame notification is under way; before it reaches the listener, a
  // frame-stop request takes the capture lock and waits in the engine's stop.
  std::promise<void> frameInFlight;
  engine->SetBeforeFrameHook([&] {
    frameInFlight.set_value();
    while (engine->stopsWaiting == 0) {
      std::this_thread::yield();
    }
  });

  RunWithWatchdog(
      [&] {
        std::thread frameThread([this] { engine->DeliverFrame(FrameWithImage(256)); });
        std::thread stopRequest([&] {
          frameInFlight.get_future().wait();
          StopCapture();
        });
        stopRequest.join();
        frameThread.join();
      },
      "the scenario", 60s);

  EXPECT_EQ(engine->stopCallsFromFrameThread, 1);  // the time-out fired inside the notification
  EXPECT_EQ(engine->stopCalls, 2);
  EXPECT_FALSE(state.IsStarted());
  EXPECT_FALSE(state.IsTimeOutInProgress());
}

TEST_F(ListenerConcurrencyTest, OnlyOneTimeOutRunsAndRequestsProceedDuringItsCleanUp) {
  std::promise<void> inCleanUp;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> sleeps{0};
  clock->SetSleepHook([&](int) {
    if (sleeps++ == 1) {  // the clean-up window: the session is marked as timing out
      inCleanUp.set_value();
      released.wait();
    }
  });
  StartCapture();
  holder.AdmitCorrelationId(kCorrelationId);
  clock->AdvanceMs(7000);

  RunWithWatchdog(
      [&] {
        std::thread frameThread([&] { engine->DeliverFrame(FrameWithImage(256)); });
        inCleanUp.get_future().wait();

        // A second engine thread's frame does not start another time-out.
        holder.FrameListener().OnFrame(FrameWithImage(256));
        EXPECT_EQ(engine->stopCalls, 1);
        EXPECT_TRUE(holder.FrameListener().TimeOut().IsRunning());

        // Requests are answered while the frame thread sits in the clean-up.
        const SessionFlags flags = state.ReadSessionFlags();
        EXPECT_TRUE(flags.timeOutInProgress);
        EXPECT_FALSE(flags.started);
        EXPECT_EQ(state.ReleaseCorrelationId(kCorrelationId), CorrelationRelease::kNotStarted);
        holder.EmptyListenersQueues();
        holder.RestartStopwatchesIfSessionStarted();

        // A frame stop waits for the engine, which waits for the frame
        // notification; nothing it needs is held by the frame thread.
        std::thread stopRequest([&] {
          CaptureLock capture(state);
          engine->StopRemoteBiometricData();
        });
        release.set_value();
        stopRequest.join();
        frameThread.join();
      },
      "the scenario", 60s);

  EXPECT_EQ(engine->stopCallsFromFrameThread, 1);
  EXPECT_FALSE(holder.FrameListener().TimeOut().IsRunning());
  EXPECT_FALSE(state.IsTimeOutInProgress());
  EXPECT_TRUE(state.CorrelationIds().empty());
}

}  // namespace
}  // namespace corvane::larchmere::plugin::common
