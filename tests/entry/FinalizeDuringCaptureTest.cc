// Finalize while the face capture runs: the capture is stopped before the
// listeners it calls are freed, and a poll in flight is waited for.
#include <future>
#include <string>

#include "entry/CaptureTestSupport.h"

namespace corvane::larchmere::plugin::test {
namespace {

using FinalizeDuringCaptureTest = CaptureTest;

TEST_F(FinalizeDuringCaptureTest, StopsTheRunningCaptureBeforeReleasingTheListeners) {
  Post("/frame/enrollment", CaptureHeaders(CaptureId(1)));
  ASSERT_EQ(sim::CallCount("StartRemoteBiometricData"), 1u);
  ASSERT_TRUE(sim::PushFrame(SmallFrame(1)));

  Finalize();

  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 1u);
  EXPECT_FALSE(sim::PushFrame(SmallFrame(2)));
  EXPECT_EQ(Post("/frame/enrollment", CaptureHeaders(CaptureId(1))).body,
            CaptureError(0, 1003, "Service objects and listeners were not setup."));
}

using FinalizeConcurrencyTest = CaptureTest;

TEST_F(FinalizeConcurrencyTest, WaitsForThePollInFlightBeforeStoppingTheCapture) {
  Signal polling;
  Signal release;
  clock->SetSleepHook([&](int) {
    polling.Raise();
    release.Wait();
  });
  std::future<CaptureResponse> poll = PostAsync("/frame/enrollment", CaptureHeaders(CaptureId(2)));
  ASSERT_TRUE(polling.Wait());

  std::future<void> finalize = std::async(std::launch::async, [] { Finalize(); });
  EXPECT_EQ(finalize.wait_for(std::chrono::milliseconds(100)), std::future_status::timeout);
  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 0u);

  clock->SetSleepHook(nullptr);
  release.Raise();
  AwaitOrAbort(poll, "the poll");
  finalize.wait_for(kCaptureWaitLimit);
  ASSERT_EQ(finalize.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 1u);
}

}  // namespace
}  // namespace corvane::larchmere::plugin::test
