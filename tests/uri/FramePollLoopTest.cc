// The poll of the frame endpoints: it waits for the listeners' arrival
// signal or the end of its budget, and answers what one pass finds.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "plugin/uri/FramePollLoop.h"
#include "uri/UriTestSupport.h"

namespace corvane::larchmere::plugin::uri::test {
namespace {

sdk::SDK_Frame FrameWithImage(const std::string& image) {
  sdk::SDK_Frame frame;
  frame.image = image;
  frame.frameSize = static_cast<int>(image.size());
  return frame;
}

sdk::SDK_RemoteMatchFeedback MatchFeedback(const std::string& idToken) {
  sdk::SDK_RemoteMatchFeedback feedback;
  feedback.idToken = idToken;
  feedback.correlationId = kCorrelationId;
  return feedback;
}

// A poll whose result step takes the hybrid listener's newest result, as the
// match endpoints do, and counts its passes.
class FramePollLoopTest : public ::testing::Test {
 protected:
  Answer Poll() {
    const FramePollLoop loop(
        *holder,
        [this](bool, unsigned short&) {
          ++passes;
          const auto result = holder->HybridMatchListener().TakeNewest();
          if (afterFirstTake) {
            std::exchange(afterFirstTake, nullptr)();
          }
          return result ? "result:" + result->idToken : std::string();
        },
        [](const std::shared_ptr<const sdk::SDK_Frame>& frame) { return "frame:" + frame->image; },
        [] { return std::string("camera"); });
    Answer answer;
    answer.status = 200;
    answer.body = "before:";
    bool deliverFrames = true;
    loop.Run(deliverFrames, answer);
    return answer;
  }

  std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
  std::unique_ptr<common::LMListenerHolder> holder =
      std::make_unique<common::LMListenerHolder>(nullptr, clock);
  int passes = 0;
  // Run once, right after the first pass has read the result queue.
  std::function<void()> afterFirstTake;
};

TEST_F(FramePollLoopTest, NothingArrivingWaitsOnceForTheWholeBudgetAndAnswersNothing) {
  const Answer answer = Poll();

  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.body, "before:");
  EXPECT_EQ(passes, 1);
  EXPECT_EQ(clock->Waits(), std::vector<double>{FramePollLoop::kPollBudgetMs});
  EXPECT_EQ(clock->NowMs(), FramePollLoop::kPollBudgetMs);
}

struct WakeCase {
  const char* name;
  std::function<void(common::LMListenerHolder&)> arrive;
  std::string answer;
};

class FramePollLoopWakeTest : public FramePollLoopTest,
                              public ::testing::WithParamInterface<WakeCase> {};

TEST_P(FramePollLoopWakeTest, ArrivalDuringTheWaitIsAnsweredAtOnce) {
  clock->SetWaitHook([this](double) { GetParam().arrive(*holder); });

  const Answer answer = Poll();

  EXPECT_EQ(answer.body, "before:" + GetParam().answer);
  EXPECT_EQ(passes, 2);
  EXPECT_EQ(clock->Waits().size(), 1u);
  EXPECT_EQ(clock->NowMs(), 0);  // woken, not timed out
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FramePollLoopWakeTest,
    ::testing::Values(
        WakeCase{"Frame", [](auto& h) { h.FrameListener().OnFrame(FrameWithImage("f1")); },
                 "frame:f1"},
        WakeCase{"Result",
                 [](auto& h) { h.HybridMatchListener().OnHybridMatchFeedback(MatchFeedback("t")); },
                 "result:t"},
        WakeCase{"InvalidCamera",
                 [](auto& h) {
                   sdk::SDK_ERROR error;
                   error.code = 5633;
                   h.EnrollFeedbackListener().OnError(error);
                 },
                 "camera"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(FramePollLoopTest, ArrivalNobodyAnswersKeepsTheRestOfTheBudget) {
  // 300 ms into the wait comes feedback for a match this poll does not look at.
  clock->SetWaitHook([this](double remainingMs) {
    if (remainingMs == FramePollLoop::kPollBudgetMs) {
      clock->AdvanceMs(300);
      holder->MatchFeedbackListener().OnRemoteMatchFeedback(MatchFeedback("other"));
    }
  });

  const Answer answer = Poll();

  EXPECT_EQ(answer.body, "before:");
  EXPECT_EQ(passes, 2);
  EXPECT_EQ(clock->Waits(), (std::vector<double>{2000, 1700}));
  EXPECT_EQ(clock->NowMs(), FramePollLoop::kPollBudgetMs);
}

TEST_F(FramePollLoopTest, ResultArrivingWhileThePassRunsIsNotLeftForTheNextPoll) {
  afterFirstTake = [this] {
    holder->HybridMatchListener().OnHybridMatchFeedback(MatchFeedback("late"));
  };

  const Answer answer = Poll();

  EXPECT_EQ(answer.body, "before:result:late");
  EXPECT_EQ(clock->NowMs(), 0);
}

TEST(FramePollLoopRealClockTest, FramePushedFromAnotherThreadWakesTheWaitingPoll) {
  common::LMListenerHolder holder(nullptr);  // the system clock
  const FramePollLoop loop(
      holder, [](bool, unsigned short&) { return std::string(); },
      [](const std::shared_ptr<const sdk::SDK_Frame>& frame) { return "frame:" + frame->image; },
      [] { return std::string("camera"); });
  std::future<void> engine = std::async(std::launch::async, [&holder] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    holder.FrameListener().OnFrame(FrameWithImage("live"));
  });
  bool deliverFrames = true;
  Answer answer;
  answer.status = 200;

  loop.Run(deliverFrames, answer);
  engine.get();

  EXPECT_EQ(answer.body, "frame:live");
}

}  // namespace
}  // namespace corvane::larchmere::plugin::uri::test
