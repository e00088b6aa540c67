#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "common/EngineRecords.h"
#include "common/FakeFaceLogin.h"
#include "common/ManualClock.h"
#include "plugin/common/DisplayTimeOut.h"
#include "plugin/common/LMListenerHolder.h"

namespace corvane::larchmere::plugin::common {
namespace {

using Corvane::QAV::SDK::SDK_EnrollmentFeedback;
using Corvane::QAV::SDK::SDK_ERROR;
using Corvane::QAV::SDK::SDK_Frame;
using keystead::test::kCorrelationId;

struct FiringCase {
  double pollElapsed;
  double sessionElapsed;
  double lastPoll;
  double lastSession;
  bool fires;
};

class DisplayTimeOutRuleTest : public testing::TestWithParam<FiringCase> {};

TEST_P(DisplayTimeOutRuleTest, FiresInsideTheWindowsUnlessTheLastReadingBlocksIt) {
  const FiringCase& c = GetParam();
  EXPECT_EQ(DisplayTimeOut::ShouldFire(c.pollElapsed, c.sessionElapsed, c.lastPoll, c.lastSession),
            c.fires);
}

INSTANTIATE_TEST_SUITE_P(
    Readings, DisplayTimeOutRuleTest,
    testing::Values(
        // Poll window (5000, 10000), exclusive.
        FiringCase{7000, 0, 0, 0, true}, FiringCase{12000, 0, 0, 0, false},
        FiringCase{5000, 0, 0, 0, false}, FiringCase{10000, 0, 0, 0, false},
        FiringCase{5000.5, 0, 0, 0, true}, FiringCase{9999, 0, 0, 0, true},
        // A recorded poll reading of 1500 or less (not 0) blocks the poll window.
        FiringCase{7000, 0, 800, 0, false}, FiringCase{7000, 0, 1500, 0, false},
        FiringCase{7000, 0, 1501, 0, true},
        // Session window (30000, 60000), exclusive.
        FiringCase{1000, 30000, 0, 0, false}, FiringCase{1000, 30001, 0, 0, true},
        FiringCase{1000, 59999, 0, 0, true}, FiringCase{1000, 60000, 0, 0, false},
        FiringCase{1000, 45000, 0, 800, false}, FiringCase{1000, 45000, 0, 7000, true},
        // Either window suffices.
        FiringCase{7000, 45000, 0, 800, true}, FiringCase{12000, 45000, 800, 0, true}));

class DisplayTimeOutTest : public testing::Test {
 protected:
  void SetUp() override {
    // A running session with one poller, a started enrollment and leftovers
    // in every queue.
    state.BeginSession(clock->WallClockWholeSecondsMs());
    state.SetOperationStarted(true);
    holder.AdmitCorrelationId(kCorrelationId);
    state.RecordFirstMatchStart(kCorrelationId);
    state.StoreProcessedFrames("{\"frames\":[]}\n");
    holder.EnrollFeedbackListener().OnEnrollmentFeedback(SDK_EnrollmentFeedback{"step", 1, {}});
    SDK_ERROR error;
    error.source = 2;
    holder.MatchFeedbackListener().OnError(error);
    engine->StartRemoteBiometricData(&holder.FrameListener(), 0);
  }

  static SDK_Frame Frame(int frameSize) {
    SDK_Frame frame;
    frame.frameSize = frameSize;
    return frame;
  }

  bool SessionUntouched() {
    return state.IsStarted() && state.IsOperationStarted() &&
           state.HasCorrelationId(kCorrelationId) &&
           state.MatchAttemptOf(kCorrelationId).Starts() == 1 &&
           !state.StoredProcessedFrames().empty() && holder.EnrollFeedbackListener().HasEntries() &&
           holder.MatchFeedbackListener().HasErrors();
  }

  std::shared_ptr<test::ManualClock> clock = std::make_shared<test::ManualClock>();
  std::shared_ptr<test::FakeFaceLogin> engine = std::make_shared<test::FakeFaceLogin>();
  LMListenerHolder holder{engine, clock};
  FrameSessionState& state = holder.State();
  const DisplayTimeOut& timeOut = holder.FrameListener().TimeOut();
};

TEST_F(DisplayTimeOutTest, PollTimeOutStopsTheCaptureAndResetsTheSession) {
  std::vector<bool> timingOutAtSleep;
  clock->SetSleepHook([&](int) { timingOutAtSleep.push_back(state.IsTimeOutInProgress()); });
  clock->AdvanceMs(7000);

  ASSERT_TRUE(engine->DeliverFrame(Frame(5)));

  EXPECT_EQ(engine->stopCalls, 1);
  EXPECT_EQ(engine->stopCallsFromFrameThread, 1);
  EXPECT_EQ(clock->Sleeps(), (std::vector<int>{1000, 1500}));
  // Not yet marked during the settle pause, marked during the clean-up window.
  EXPECT_EQ(timingOutAtSleep, (std::vector<bool>{false, true}));
  EXPECT_FALSE(state.IsTimeOutInProgress());
  EXPECT_FALSE(state.IsStarted());
  EXPECT_FALSE(state.IsOperationStarted());
  EXPECT_TRUE(state.CorrelationIds().empty());
  EXPECT_TRUE(state.MatchAttempts().empty());
  EXPECT_EQ(state.StoredProcessedFrames(), "");
  EXPECT_FALSE(holder.EnrollFeedbackListener().HasEntries());
  EXPECT_FALSE(holder.MatchFeedbackListener().HasErrors());
  EXPECT_FALSE(holder.FrameListener().HasEntries());  // the trigger belongs to the stopped capture
  EXPECT_DOUBLE_EQ(timeOut.LastPollElapsedMs(), 7000);
  EXPECT_DOUBLE_EQ(timeOut.LastSessionElapsedMs(), 7000);
  EXPECT_FALSE(timeOut.IsRunning());
}

TEST_F(DisplayTimeOutTest, FrameAfterTheCheckIsStillQueuedWhenNothingFires) {
  clock->AdvanceMs(12000);
  engine->DeliverFrame(Frame(3));

  EXPECT_EQ(engine->stopCalls, 0);
  EXPECT_TRUE(SessionUntouched());
  EXPECT_TRUE(holder.FrameListener().HasEntries());
}

TEST_F(DisplayTimeOutTest, SessionTimeOutFiresAfterThirtySecondsOfPolling) {
  auto pollAndDeliver = [this] {
    clock->AdvanceMs(4500);
    holder.AdmitCorrelationId(kCorrelationId);  // the page keeps polling
    engine->DeliverFrame(Frame(1));
  };
  for (int step = 0; step < 6; ++step) {
    pollAndDeliver();
  }
  EXPECT_EQ(engine->stopCalls, 0);  // 27 s

  pollAndDeliver();  // 31.5 s
  EXPECT_EQ(engine->stopCalls, 1);
  EXPECT_FALSE(state.IsStarted());
  EXPECT_DOUBLE_EQ(timeOut.LastPollElapsedMs(), 0);
  EXPECT_DOUBLE_EQ(timeOut.LastSessionElapsedMs(), 31500);
}

TEST_F(DisplayTimeOutTest, ShortSessionReadingBlocksLaterSessionTimeOuts) {
  // Fires on the poll window while the session stopwatch reads 800.
  clock->AdvanceMs(6200);
  holder.SessionStopwatch().Restart();
  clock->AdvanceMs(800);
  engine->DeliverFrame(Frame(1));
  ASSERT_EQ(engine->stopCalls, 1);
  EXPECT_DOUBLE_EQ(timeOut.LastSessionElapsedMs(), 800);

  // A new session that the page keeps polling runs past 30 s: the recorded
  // 800 blocks the session window, and the poll window is never reached.
  state.BeginSession(clock->WallClockWholeSecondsMs());
  engine->StartRemoteBiometricData(&holder.FrameListener(), 0);
  holder.AdmitCorrelationId(kCorrelationId);
  holder.SessionStopwatch().Restart();
  for (int step = 0; step < 10; ++step) {
    clock->AdvanceMs(4000);
    holder.PollStopwatch().Restart();
    engine->DeliverFrame(Frame(1));
  }
  EXPECT_EQ(engine->stopCalls, 1);
  EXPECT_TRUE(state.IsStarted());
}

TEST_F(DisplayTimeOutTest, FailedEngineStopLeavesTheSessionAndMayFireAgain) {
  engine->stopResult = 31;
  clock->AdvanceMs(7000);
  engine->DeliverFrame(Frame(0));  // a frame without content still runs the check

  EXPECT_EQ(engine->stopCalls, 1);
  EXPECT_TRUE(SessionUntouched());
  EXPECT_TRUE(clock->Sleeps().empty());
  EXPECT_DOUBLE_EQ(timeOut.LastPollElapsedMs(), 7000);
  EXPECT_FALSE(timeOut.IsRunning());

  // The recorded 7000 does not block the poll window: the next frame retries.
  engine->throwOnStop = true;
  clock->AdvanceMs(50);
  engine->DeliverFrame(Frame(1));
  EXPECT_EQ(engine->stopCalls, 2);
  EXPECT_TRUE(SessionUntouched());
  EXPECT_FALSE(state.IsTimeOutInProgress());
}

TEST_F(DisplayTimeOutTest, ReleasedEngineIsNeverStopped) {
  holder.FrameListener().ReleaseEngine();
  clock->AdvanceMs(7000);
  holder.FrameListener().OnFrame(Frame(1));

  EXPECT_EQ(engine->stopCalls, 0);
  EXPECT_TRUE(SessionUntouched());
}

TEST_F(DisplayTimeOutTest, ADisarmedTimeOutNeverFiresWhileFramesGoOn) {
  holder.FrameListener().Disarm(std::chrono::milliseconds(0));
  for (const double advanceMs : {7000.0, 30000.0}) {
    clock->AdvanceMs(advanceMs);
    engine->DeliverFrame(Frame(1));
  }

  EXPECT_EQ(engine->stopCalls, 0);
  EXPECT_TRUE(SessionUntouched());
  // Nothing was decided: a firing time-out records its readings first.
  EXPECT_DOUBLE_EQ(timeOut.LastPollElapsedMs(), 0);
  EXPECT_TRUE(holder.FrameListener().HasEntries());
}

}  // namespace
}  // namespace corvane::larchmere::plugin::common
