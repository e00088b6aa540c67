// The capture thread: rate and shape of frames, and the stop and teardown rules
// that callers rely on (no frame after a stop, no self-join inside a callback).
#include <atomic>
#include <future>

#include "SimTestSupport.h"

namespace keystead::sim::test {
namespace {

using CaptureConcurrencyTest = SimTest;

TEST_F(CaptureConcurrencyTest, FramesArriveOnTheCaptureThreadAtRoughlyTheConfiguredRate) {
  const auto started = std::chrono::steady_clock::now();
  ASSERT_EQ(engine->StartRemoteBiometricData(&listener, 0), 0);
  ASSERT_TRUE(listener.WaitFor([&] { return listener.frames.size() >= 10; }));
  const auto elapsed = std::chrono::steady_clock::now() - started;
  ASSERT_EQ(engine->StopRemoteBiometricData(), 0);

  // Ten frames at 50 a second take 180 ms; far less would mean no pacing at all.
  EXPECT_GE(elapsed, 90ms);
  listener.Read([&] {
    const sdk::SDK_Frame& frame = listener.frames.front();
    EXPECT_EQ(frame.width, 640);
    EXPECT_EQ(frame.height, 480);
    EXPECT_EQ(frame.channels, 3);
    EXPECT_EQ(frame.frameSize, 640 * 480 * 3);
    EXPECT_EQ(frame.image.size(), static_cast<std::size_t>(frame.frameSize));
    EXPECT_NE(listener.frames[0].image, listener.frames[1].image) << "the picture should move";
    EXPECT_NE(listener.threads.front(), std::this_thread::get_id());
  });
}

TEST_F(CaptureConcurrencyTest, StopWaitsForTheFrameCallbackInProgressAndNoFrameFollows) {
  std::promise<void> entered;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> first{true};
  listener.onFrame = [&] {
    if (!first.exchange(false)) return;
    entered.set_value();
    released.wait();
  };
  ASSERT_EQ(engine->StartRemoteBiometricData(&listener, 0), 0);
  entered.get_future().wait();

  auto stopped = std::async(std::launch::async, [&] { return engine->StopRemoteBiometricData(); });
  EXPECT_EQ(stopped.wait_for(100ms), std::future_status::timeout)
      << "stop returned while a frame callback was still running";
  release.set_value();
  EXPECT_EQ(stopped.get(), 0);

  const std::size_t delivered = listener.FrameCount();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(listener.FrameCount(), delivered);
}

TEST_F(CaptureConcurrencyTest, StopInsideTheFrameCallbackOnlyMarksTheStop) {
  sdk::FaceLogin* face = engine.get();
  std::promise<std::pair<int, int>> results;  // the stop, then a restart in the same callback
  std::atomic<bool> first{true};
  listener.onFrame = [&] {
    if (!first.exchange(false)) return;
    const int stop = face->StopRemoteBiometricData();
    results.set_value({stop, face->StartRemoteBiometricData(&listener, 0)});
  };
  ASSERT_EQ(engine->StartRemoteBiometricData(&listener, 0), 0);
  auto outcome = results.get_future();
  ASSERT_EQ(outcome.wait_for(5s), std::future_status::ready) << "stop deadlocked in its callback";
  EXPECT_EQ(outcome.get(), std::make_pair(0, kErrorBusy));

  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(listener.FrameCount(), 1u);

  // The capture can start again once the marked stop has taken effect.
  ASSERT_EQ(engine->StartRemoteBiometricData(&listener, 0), 0);
  EXPECT_TRUE(listener.WaitFor([&] { return listener.frames.size() >= 3; }));
}

TEST_F(CaptureConcurrencyTest, DestroyingTheEngineDuringACaptureJoinsItsThreads) {
  listener.onFrame = [] { std::this_thread::sleep_for(5ms); };
  ASSERT_EQ(engine->StartRemoteBiometricData(&listener, 0), 0);
  ASSERT_EQ(engine->RemoteEnroll(&listener, &listener), 0);
  ASSERT_TRUE(listener.WaitFor([&] { return listener.frames.size() >= 2; }));

  engine.reset();

  const std::size_t delivered = listener.FrameCount();
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(listener.FrameCount(), delivered);
}

TEST_F(CaptureConcurrencyTest, SecondStartReplacesTheFrameCallback) {
  RecordingListener second;
  ASSERT_EQ(engine->StartRemoteBiometricData(&listener, 0), 0);
  ASSERT_TRUE(listener.WaitFor([&] { return !listener.frames.empty(); }));

  ASSERT_EQ(engine->StartRemoteBiometricData(&second, 1), 0);
  const std::size_t toFirst = listener.FrameCount();
  EXPECT_TRUE(second.WaitFor([&] { return second.frames.size() >= 2; }));
  EXPECT_EQ(listener.FrameCount(), toFirst);
  EXPECT_EQ(engine->StopRemoteBiometricData(), 0);
}

TEST_F(CaptureConcurrencyTest, PushedFramesAndErrorsArriveOnlyDuringACapture) {
  Configure([](Config& config) { config.camera.autoFrames = false; });
  sdk::SDK_Frame frame;
  frame.image = "abcdef";
  frame.width = 2;
  frame.frameSize = 6;
  EXPECT_FALSE(PushFrame(frame));

  ASSERT_EQ(engine->StartRemoteBiometricData(&listener, 0), 0);
  ASSERT_TRUE(PushFrame(frame));
  ASSERT_TRUE(PushError(Listener::Frame, sdk::SDK_ERROR{4, 5637, "Camera lost", "", 0, ""}));
  listener.Read([&] {
    ASSERT_EQ(listener.frames.size(), 1u);
    EXPECT_EQ(listener.frames[0].image, "abcdef");
    ASSERT_EQ(listener.errors.size(), 1u);
    EXPECT_EQ(listener.errors[0].code, 5637);
    EXPECT_NE(listener.threads[0], std::this_thread::get_id());
  });

  ASSERT_EQ(engine->StopRemoteBiometricData(), 0);
  EXPECT_FALSE(PushFrame(frame));
}

TEST_F(CaptureConcurrencyTest, ManyThreadsCallingAtOnce) {
  constexpr int kThreads = 4;
  constexpr int kRounds = 40;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < kRounds; ++round) {
        switch ((round + t) % 5) {
          case 0:
            engine->StartRemoteBiometricData(&listener, 0);
            break;
          case 1:
            engine->StopRemoteBiometricData();
            break;
          case 2:
            engine->LocalMatch(&listener, &listener, 1, Context(kCorrelationId), 3);
            break;
          case 3: {
            sdk::LocalSetting setting;
            engine->GetEngineSetting(setting, "BCA_PREVIEW_TYPE");
            int preview = round;
            engine->SetPreviewType(&preview);
            break;
          }
          case 4:
            engine->SelectVideoDevice(round % 2 == 0 ? "Keystead Virtual Camera"
                                                     : "Keystead Virtual IR Camera");
            PushFrame(sdk::SDK_Frame{});
            break;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  engine.reset();
  EXPECT_EQ(CallCount("StartRemoteBiometricData"), kThreads * kRounds / 5u);
}

}  // namespace
}  // namespace keystead::sim::test
