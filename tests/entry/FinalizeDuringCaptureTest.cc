// Finalize while the face capture runs: the capture is stopped before the
// listeners it calls are freed, and a poll in flight and a display time-out's
// clean-up in progress are waited for.
#include <chrono>
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

// What Finalize's own engine stop answers: the engine waits there for the
// frame notification in progress only when the stop succeeds.
struct FinalizeStopCase {
  const char* name;
  int finalizeStopResult;
};

class FinalizeDuringTimeOutConcurrencyTest
    : public CaptureTest,
      public ::testing::WithParamInterface<FinalizeStopCase> {};

TEST_P(FinalizeDuringTimeOutConcurrencyTest, StopsTheCaptureAndWaitsForTheCleanUpAfterAFailedStop) {
  Post("/frame/enrollment", CaptureHeaders(CaptureId(3)));
  // The frame stop fails: the session is reset, but the engine keeps capturing.
  sim::SetResults("StopRemoteBiometricData", {21, 0, GetParam().finalizeStopResult});
  ASSERT_EQ(Stop(CaptureId(3)).status, 500);

  Signal cleanUpRunning;
  Signal release;
  clock->SetSleepHook([&](int milliseconds) {
    if (milliseconds == 1000 /* the time-out's pause after its stop */) {
      cleanUpRunning.Raise();
      release.Wait();
    }
  });
  clock->AdvanceMs(7000);
  std::future<bool> timeOut =
      std::async(std::launch::async, [] { return sim::PushFrame(SmallFrame(1)); });
  ASSERT_TRUE(cleanUpRunning.Wait());

  std::future<void> finalize = std::async(std::launch::async, [] { Finalize(); });
  // The session flags say nothing runs; Finalize stops the capture all the same.
  const bool stopped = sim::WaitForCall("StopRemoteBiometricData", 3, kCaptureWaitLimit);
  // Finalize frees nothing while the clean-up runs.
  EXPECT_EQ(finalize.wait_for(std::chrono::milliseconds(200)), std::future_status::timeout);
  release.Raise();
  EXPECT_TRUE(AwaitOrAbort(timeOut, "the display time-out"));
  finalize.wait_for(kCaptureWaitLimit);
  ASSERT_EQ(finalize.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_TRUE(stopped);
  EXPECT_FALSE(sim::PushFrame(SmallFrame(2)));
}

INSTANTIATE_TEST_SUITE_P(Cases, FinalizeDuringTimeOutConcurrencyTest,
                         ::testing::Values(FinalizeStopCase{"StopSucceeds", 0},
                                           FinalizeStopCase{"StopFails", 21}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::larchmere::plugin::test
