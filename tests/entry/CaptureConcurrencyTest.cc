// Races of the face-capture endpoints through the plug-in's exports, run
// under ThreadSanitizer: two pages polling one session, a stop while a poll
// waits, and a display time-out meeting a stop and a poll. Every wait is
// bounded: a deadlock fails the run instead of hanging it.
#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/entry/CaptureTestSupport.h"

namespace corvane::larchmere::plugin::test {
namespace {

const std::string kPageA = CaptureId(1);
const std::string kPageB = CaptureId(2);
constexpr char kRemoteCaller[] = "Caller: REMOTE_PSI_25";
constexpr int kMaxPollsPerPage = 30;
// Real time taken by each wait of a poll (a quiet poll waits once).
constexpr std::chrono::milliseconds kRealWaitPerPoll{40};

class CaptureConcurrencyTest : public CaptureTest {
 protected:
  // Holds the first wait of a poll: raises `waiting`, then waits for `release`.
  void ParkFirstWait(Signal& waiting, Signal& release) {
    clock->SetWaitHook(
        [&waiting, &release, parked = std::make_shared<std::atomic<bool>>(false)](double) {
          if (!parked->exchange(true)) {
            waiting.Raise();
            release.Wait();
          }
        });
  }
};

TEST_F(CaptureConcurrencyTest, TwoPagesPollingOneSessionEachGetTheirOwnResult) {
  std::future<CaptureResponse> firstA =
      PostAsync("/frame/match", CaptureHeaders(kPageA, {kRemoteCaller}));
  std::future<CaptureResponse> firstB =
      PostAsync("/frame/match", CaptureHeaders(kPageB, {kRemoteCaller}));
  EXPECT_EQ(AwaitOrAbort(firstA, "first poll of page A").status, 200);
  EXPECT_EQ(AwaitOrAbort(firstB, "first poll of page B").status, 200);
  // One capture for the shared session, one match per page.
  EXPECT_EQ(sim::CallCount("StartRemoteBiometricData"), 1u);
  EXPECT_EQ(sim::CallCount("RemoteMatch"), 2u);

  // Past the session window, so that only the pages' own pace matters; the
  // polls' waits take real time so that pages and engine interleave.
  clock->AdvanceMs(60000);
  clock->SetWaitHook([](double) { std::this_thread::sleep_for(kRealWaitPerPoll); });
  const auto page = [](std::string id) {
    const std::string expected = MatchResultDocument(id, false);
    for (int poll = 0; poll < kMaxPollsPerPage; ++poll) {
      const CaptureResponse response = Post("/frame/match", CaptureHeaders(id, {kRemoteCaller}));
      if (response.status != 200) return "status " + std::to_string(response.status);
      if (response.body == expected) return std::string("own result");
      if (response.body != kNothingYet && entry::test::ParseJson(response.body)["frame"].isNull()) {
        return "unexpected " + response.body;
      }
    }
    return std::string("no result");
  };
  std::future<std::string> pageA = std::async(std::launch::async, page, kPageA);
  std::future<std::string> pageB = std::async(std::launch::async, page, kPageB);
  std::future<bool> engine = std::async(std::launch::async, [] {
    bool delivered = true;
    for (std::uint64_t index = 0; index < 10; ++index) {
      delivered = sim::PushFrame(SmallFrame(index)) && delivered;
    }
    delivered = sim::PushRemoteMatchFeedback(MatchResult(kPageB)) && delivered;
    return sim::PushRemoteMatchFeedback(MatchResult(kPageA)) && delivered;
  });

  EXPECT_TRUE(AwaitOrAbort(engine, "engine pushes"));
  EXPECT_EQ(AwaitOrAbort(pageA, "page A"), "own result");
  EXPECT_EQ(AwaitOrAbort(pageB, "page B"), "own result");
  clock->SetWaitHook(nullptr);
  EXPECT_EQ(Stop(kPageA).body, "{}");
  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 0u);
  EXPECT_EQ(Stop(kPageB).body, "{}");
  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 1u);
}

TEST_F(CaptureConcurrencyTest, StopArrivingWhileAPollWaitsIsNotHeldUp) {
  Post("/frame/enrollment", CaptureHeaders(kPageA));
  Signal pollWaiting;
  Signal stopAnswered;
  ParkFirstWait(pollWaiting, stopAnswered);
  std::future<CaptureResponse> poll = PostAsync("/frame/enrollment", CaptureHeaders(kPageA));
  ASSERT_TRUE(pollWaiting.Wait());

  std::future<CaptureResponse> stop = PostAsync("/frame/stop", CaptureHeaders(kPageA));
  const CaptureResponse stopped = AwaitOrAbort(stop, "stop during a poll");
  stopAnswered.Raise();
  const CaptureResponse polled = AwaitOrAbort(poll, "poll during a stop");

  EXPECT_EQ(stopped.status, 200);
  EXPECT_EQ(stopped.body, "{}");
  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 1u);
  EXPECT_EQ(polled.status, 200);
  EXPECT_EQ(polled.body, kNothingYet);
  clock->SetWaitHook(nullptr);
  EXPECT_EQ(Post("/frame/enrollment", CaptureHeaders(kPageB)).status, 200);
  EXPECT_EQ(sim::CallCount("StartRemoteBiometricData"), 2u);
}

TEST_F(CaptureConcurrencyTest, DisplayTimeOutFiringWhileAStopAndAPollAreUnderWay) {
  Post("/frame/enrollment", CaptureHeaders(kPageA));
  Signal pollWaiting;
  Signal releasePoll;
  Signal timeOutSettling;
  Signal releaseTimeOut;
  ParkFirstWait(pollWaiting, releasePoll);
  clock->SetSleepHook([&](int milliseconds) {
    if (milliseconds == 1000) {  // the time-out's pause after its engine stop
      timeOutSettling.Raise();
      releaseTimeOut.Wait();
    }
  });
  std::future<CaptureResponse> poll = PostAsync("/frame/enrollment", CaptureHeaders(kPageA));
  ASSERT_TRUE(pollWaiting.Wait());

  // 7 s without a new request: the next frame fires the time-out.
  clock->AdvanceMs(7000);
  std::future<bool> frame =
      std::async(std::launch::async, [] { return sim::PushFrame(SmallFrame(1)); });
  ASSERT_TRUE(timeOutSettling.Wait());
  // The stop finds the session still running and waits in the engine for the
  // time-out's frame notification to end.
  std::future<CaptureResponse> stop = PostAsync("/frame/stop", CaptureHeaders(kPageA));
  ASSERT_TRUE(sim::WaitForCall("StopRemoteBiometricData", 2, kCaptureWaitLimit));
  releaseTimeOut.Raise();
  releasePoll.Raise();

  EXPECT_TRUE(AwaitOrAbort(frame, "display time-out"));
  const CaptureResponse stopped = AwaitOrAbort(stop, "stop during the time-out");
  const CaptureResponse polled = AwaitOrAbort(poll, "poll during the time-out");
  EXPECT_EQ(stopped.status, 200);
  EXPECT_EQ(stopped.body, "{}");
  EXPECT_EQ(polled.status, 200);
  EXPECT_EQ(polled.body, kNothingYet);
  clock->SetWaitHook(nullptr);
  clock->SetSleepHook(nullptr);
  EXPECT_EQ(Stop(kPageA).body, CaptureError(0, 1, "Frames Already Stopped"));
  EXPECT_EQ(Post("/frame/enrollment", CaptureHeaders(kPageB)).status, 200);
  EXPECT_EQ(sim::CallCount("StartRemoteBiometricData"), 2u);
}

// While a request recovering an invalid camera pauses after its engine stop,
// another page's request begins a new session. The pause must not end with
// that session wiped (its capture would then be started a second time).
struct CameraRecoveryCase {
  const char* name;
  // The new capture reports the camera invalid again before the pause ends.
  bool flaggedAgain;
};

class CameraRecoveryConcurrencyTest : public CaptureTest,
                                      public ::testing::WithParamInterface<CameraRecoveryCase> {};

TEST_P(CameraRecoveryConcurrencyTest, SessionBegunDuringThePauseIsKept) {
  Post("/frame/enrollment", CaptureHeaders(kPageA));
  // Source 0 is not queued, but the code marks the camera invalid.
  ASSERT_TRUE(sim::PushError(sim::Listener::Enroll, EngineEvent(0, 5633, "none")));
  Signal paused;
  Signal release;
  std::atomic<bool> parked{false};
  clock->SetSleepHook([&](int milliseconds) {
    if (milliseconds == 500 && !parked.exchange(true)) {  // the recovery's pause
      paused.Raise();
      release.Wait();
    }
  });
  std::future<CaptureResponse> recovering = PostAsync("/frame/enrollment", CaptureHeaders(kPageA));
  ASSERT_TRUE(paused.Wait());

  // Page B recovers the camera itself and begins its session.
  EXPECT_EQ(Post("/frame/enrollment", CaptureHeaders(kPageB)).status, 200);
  ASSERT_EQ(sim::CallCount("StartRemoteBiometricData"), 2u);
  if (GetParam().flaggedAgain) {
    ASSERT_TRUE(sim::PushError(sim::Listener::Enroll, EngineEvent(0, 5633, "none")));
  }
  release.Raise();
  EXPECT_EQ(AwaitOrAbort(recovering, "the camera recovery").status, 200);
  clock->SetSleepHook(nullptr);

  EXPECT_EQ(sim::CallCount("StartRemoteBiometricData"), 2u);
  EXPECT_EQ(sim::CallCount("RemoteEnroll"), 2u);
  // Page B's session still runs: stopping it reaches the engine.
  const std::size_t stopsBefore = sim::CallCount("StopRemoteBiometricData");
  Stop(kPageA);
  EXPECT_EQ(Stop(kPageB).body, "{}");
  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), stopsBefore + 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, CameraRecoveryConcurrencyTest,
                         ::testing::Values(CameraRecoveryCase{"RecoveredByTheOtherPage", false},
                                           CameraRecoveryCase{"FlaggedAgainByTheNewCapture", true}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::larchmere::plugin::test
