// "/frame/stop" through the plug-in's exports: several ids, the force-stop
// id, repeated stops, engine failures and the display time-out.
#include <future>
#include <string>

#include "tests/entry/CaptureTestSupport.h"

namespace corvane::larchmere::plugin::test {
namespace {

const std::string kId = CaptureId(1);
const std::string kOtherId = CaptureId(2);
constexpr char kForceStopId[] = "QCID_FORCE_STOP_________________________QCID";
const std::string kAlreadyStopped = CaptureError(0, 1, "Frames Already Stopped");
const std::string kTimeOut = CaptureError(0, 2, "Frames Time Out");

class CaptureStopTest : public CaptureTest {
 protected:
  static void Enroll(const std::string& correlationId) {
    EXPECT_EQ(Post("/frame/enrollment", CaptureHeaders(correlationId)).status, 200);
  }
};

TEST_F(CaptureStopTest, LastOfTwoIdsStopsTheCapture) {
  Enroll(kId);
  Enroll(kOtherId);

  const CaptureResponse first = Stop(kId);
  EXPECT_EQ(first.status, 200);
  EXPECT_EQ(first.body, "{}");
  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 0u);

  const CaptureResponse last = Stop(kOtherId);
  EXPECT_EQ(last.status, 200);
  EXPECT_EQ(last.body, "{}");
  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 1u);

  // A new id starts a new session.
  Enroll(kId);
  EXPECT_EQ(sim::CallCount("StartRemoteBiometricData"), 2u);
}

TEST_F(CaptureStopTest, ForceStopIdStopsTheCaptureItNeverPolled) {
  Enroll(kId);

  const CaptureResponse response = Stop(kForceStopId);

  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.body, "{}");
  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 1u);
  EXPECT_EQ(Stop(kId).body, kAlreadyStopped);
}

TEST_F(CaptureStopTest, RefusalsAnswer500) {
  EXPECT_EQ(Stop(kId).body, kAlreadyStopped);  // no session
  EXPECT_EQ(Stop(kForceStopId).body, kAlreadyStopped);
  const CaptureResponse invalid = Stop(kId.substr(1));
  EXPECT_EQ(invalid.status, 500);
  EXPECT_EQ(invalid.body, CaptureError(0, 4, "Invalid Q-Correlation-Id"));

  Enroll(kId);
  EXPECT_EQ(Stop(kOtherId).body, kAlreadyStopped);  // not part of the session
  EXPECT_EQ(Stop(kId).body, "{}");
  const CaptureResponse again = Stop(kId);
  EXPECT_EQ(again.status, 500);
  EXPECT_EQ(again.body, kAlreadyStopped);
  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 1u);
}

TEST_F(CaptureStopTest, FailedEngineStopAnswersItsErrorButEndsTheSession) {
  Enroll(kId);
  sim::SetResults("StopRemoteBiometricData", {21, 0});

  const CaptureResponse response = Stop(kId);

  EXPECT_EQ(response.status, 500);
  EXPECT_EQ(response.body, EngineError(21, "StopRemoteBiometricData"));
  EXPECT_EQ(Stop(kId).body, kAlreadyStopped);
  Enroll(kOtherId);
  EXPECT_EQ(sim::CallCount("StartRemoteBiometricData"), 2u);
}

TEST_F(CaptureStopTest, StopAndPollDuringTheDisplayTimeOutAnswerFramesTimeOut) {
  Enroll(kId);
  // The page stopped polling: 7 s after its request (3 s of which the first
  // call spent waiting) a frame fires the display time-out, which holds its
  // clean-up window open until the test has asked.
  clock->AdvanceMs(4000);
  Signal cleanUpRunning;
  Signal release;
  clock->SetSleepHook([&](int milliseconds) {
    if (milliseconds == 1500) {
      cleanUpRunning.Raise();
      release.Wait();
    }
  });
  std::future<bool> timeOut =
      std::async(std::launch::async, [] { return sim::PushFrame(SmallFrame(1)); });
  ASSERT_TRUE(cleanUpRunning.Wait());

  const CaptureResponse stop = Stop(kId);
  const CaptureResponse poll = Post("/frame/enrollment", CaptureHeaders(kId));

  release.Raise();
  EXPECT_TRUE(AwaitOrAbort(timeOut, "display time-out"));
  EXPECT_EQ(stop.status, 500);
  EXPECT_EQ(stop.body, kTimeOut);
  EXPECT_EQ(poll.status, 500);
  EXPECT_EQ(poll.body, kTimeOut);
  // The time-out stopped the capture and ended the session.
  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 1u);
  EXPECT_EQ(Stop(kId).body, kAlreadyStopped);
  Enroll(kOtherId);
  EXPECT_EQ(sim::CallCount("StartRemoteBiometricData"), 2u);
}

}  // namespace
}  // namespace corvane::larchmere::plugin::test
