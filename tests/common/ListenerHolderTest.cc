#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "common/EngineRecords.h"
#include "common/FakeFaceLogin.h"
#include "common/ManualClock.h"
#include "plugin/common/FrameSessionState.h"
#include "plugin/common/LMListenerHolder.h"

namespace corvane::larchmere::plugin::common {
namespace {

using Corvane::QAV::SDK::SDK_EnrollmentFeedback;
using Corvane::QAV::SDK::SDK_ERROR;
using Corvane::QAV::SDK::SDK_Frame;
using Corvane::QAV::SDK::SDK_ProcessedFramesContainer;
using Corvane::QAV::SDK::SDK_RemoteMatchFeedback;
using keystead::test::EngineError;
using keystead::test::MatchFeedback;

const std::string kIdA = "QCIDaaaaaaaa-aaaa-aaaa-aaaa-aaaaaaaaaaaaQCID";
const std::string kIdB = "QCIDbbbbbbbb-bbbb-bbbb-bbbb-bbbbbbbbbbbbQCID";

class ListenerHolderTest : public testing::Test {
 protected:
  // Puts one entry in every result queue and every error queue.
  void FillEveryQueue() {
    SDK_Frame frame;
    frame.frameSize = 1;
    holder.FrameListener().OnFrame(frame);
    holder.ProcessedFramesListener().OnProcessedFrames(SDK_ProcessedFramesContainer{{{}}});
    holder.EnrollFeedbackListener().OnEnrollmentFeedback(SDK_EnrollmentFeedback{"step", 1, {}});
    SDK_RemoteMatchFeedback feedback;
    feedback.correlationId = kIdA;
    holder.MatchFeedbackListener().OnRemoteMatchFeedback(feedback);
    holder.HybridMatchListener().OnHybridMatchFeedback(feedback);
    for (LMListener* listener : Listeners()) {
      listener->OnError(EngineError(2, 7));
    }
  }

  std::vector<LMListener*> Listeners() {
    return {&holder.FrameListener(), &holder.ProcessedFramesListener(),
            &holder.EnrollFeedbackListener(), &holder.MatchFeedbackListener(),
            &holder.HybridMatchListener()};
  }

  bool AnyQueueHoldsEntries() {
    bool any =
        holder.FrameListener().HasEntries() || holder.ProcessedFramesListener().HasEntries() ||
        holder.EnrollFeedbackListener().HasEntries() ||
        holder.MatchFeedbackListener().HasEntries() || holder.HybridMatchListener().HasEntries();
    for (LMListener* listener : Listeners()) {
      any = any || listener->HasErrors();
    }
    return any;
  }

  std::shared_ptr<test::ManualClock> clock = std::make_shared<test::ManualClock>();
  std::shared_ptr<test::FakeFaceLogin> engine = std::make_shared<test::FakeFaceLogin>();
  LMListenerHolder holder{engine, clock};
  FrameSessionState& state = holder.State();
};

TEST_F(ListenerHolderTest, StartsEmpty) {
  EXPECT_FALSE(state.IsStarted());
  EXPECT_FALSE(state.IsOperationStarted());
  EXPECT_FALSE(state.IsTimeOutInProgress());
  EXPECT_TRUE(state.CorrelationIds().empty());
  EXPECT_TRUE(state.MatchAttempts().empty());
  EXPECT_EQ(state.StoredProcessedFrames(), "");
  EXPECT_FALSE(holder.GetDomainSufix().has_value());
  EXPECT_FALSE(holder.IsInvalidCamera());
  EXPECT_FALSE(AnyQueueHoldsEntries());
}

TEST_F(ListenerHolderTest, DomainSuffixIsSetOnceAndNeverEmpty) {
  holder.SetDomainSufix("");
  EXPECT_FALSE(holder.GetDomainSufix().has_value());

  holder.SetDomainSufix("corvane.example");
  holder.SetDomainSufix("other.example");
  holder.SetDomainSufix("");
  EXPECT_EQ(holder.GetDomainSufix(), "corvane.example");
}

TEST_F(ListenerHolderTest, AnyListenerFlagsTheCameraAndUnsetClearsAll) {
  holder.HybridMatchListener().OnError(EngineError(0, 5632));
  EXPECT_TRUE(holder.IsInvalidCamera());

  for (LMListener* listener : Listeners()) {
    listener->OnError(EngineError(2, 5637));
  }
  holder.UnsetInvalidCamera();

  EXPECT_FALSE(holder.IsInvalidCamera());
  for (LMListener* listener : Listeners()) {
    EXPECT_FALSE(listener->IsInvalidCamera());
  }
}

TEST_F(ListenerHolderTest, EmptyListenersQueuesEmptiesResultsAndErrorsButKeepsTheCameraFlag) {
  holder.EmptyListenersQueues();  // on empty queues: nothing to do
  FillEveryQueue();
  holder.EnrollFeedbackListener().OnError(EngineError(2, 5633));

  holder.EmptyListenersQueues();

  EXPECT_FALSE(AnyQueueHoldsEntries());
  EXPECT_TRUE(holder.IsInvalidCamera());
}

// A notification and whether a waiting poll must hear of it: everything that
// is queued or flags the camera does; what is dropped does not.
struct ArrivalCase {
  const char* name;
  std::function<void(LMListenerHolder&)> notify;
  bool signals;
};

class ListenerHolderArrivalTest : public ListenerHolderTest,
                                  public testing::WithParamInterface<ArrivalCase> {};

TEST_P(ListenerHolderArrivalTest, QueuedOrFlaggedNotificationsSignalTheHoldersArrivals) {
  const std::uint64_t before = holder.Arrivals().Generation();

  GetParam().notify(holder);

  EXPECT_EQ(holder.Arrivals().Generation(), before + (GetParam().signals ? 1 : 0));
}

SDK_Frame FrameOfSize(int frameSize) {
  SDK_Frame frame;
  frame.frameSize = frameSize;
  return frame;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListenerHolderArrivalTest,
    testing::Values(
        ArrivalCase{"Frame", [](auto& h) { h.FrameListener().OnFrame(FrameOfSize(1)); }, true},
        ArrivalCase{"EmptyFrame", [](auto& h) { h.FrameListener().OnFrame(FrameOfSize(0)); },
                    false},
        ArrivalCase{"ProcessedFrames",
                    [](auto& h) {
                      h.ProcessedFramesListener().OnProcessedFrames(
                          SDK_ProcessedFramesContainer{{{}}});
                    },
                    true},
        ArrivalCase{"EnrollmentFeedback",
                    [](auto& h) {
                      h.EnrollFeedbackListener().OnEnrollmentFeedback(
                          SDK_EnrollmentFeedback{"step", 1, {}});
                    },
                    true},
        ArrivalCase{
            "EnrollmentFeedbackWithoutText",
            [](auto& h) {
              h.EnrollFeedbackListener().OnEnrollmentFeedback(SDK_EnrollmentFeedback{"", 1, {}});
            },
            false},
        ArrivalCase{
            "RemoteMatchFeedback",
            [](auto& h) { h.MatchFeedbackListener().OnRemoteMatchFeedback(MatchFeedback(kIdA)); },
            true},
        ArrivalCase{
            "UnclaimableRemoteMatchFeedback",
            [](auto& h) { h.MatchFeedbackListener().OnRemoteMatchFeedback(MatchFeedback("QCID")); },
            false},
        ArrivalCase{
            "HybridMatchFeedback",
            [](auto& h) { h.HybridMatchListener().OnHybridMatchFeedback(MatchFeedback("QCID")); },
            true},
        ArrivalCase{"FrameError", [](auto& h) { h.FrameListener().OnError(EngineError(2, 7)); },
                    true},
        ArrivalCase{"ProcessedFramesError",
                    [](auto& h) { h.ProcessedFramesListener().OnError(EngineError(3, 7)); }, true},
        ArrivalCase{"EnrollmentError",
                    [](auto& h) { h.EnrollFeedbackListener().OnError(EngineError(4, 7)); }, true},
        ArrivalCase{"MatchError",
                    [](auto& h) { h.MatchFeedbackListener().OnError(EngineError(1, 7)); }, true},
        ArrivalCase{"CameraFlagOnly",
                    [](auto& h) { h.HybridMatchListener().OnError(EngineError(0, 5633)); }, true},
        ArrivalCase{"DroppedError",
                    [](auto& h) { h.HybridMatchListener().OnError(EngineError(0, 7)); }, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListenerHolderTest, NewIdsRestartTheSessionStopwatchEveryRequestThePollStopwatch) {
  clock->AdvanceMs(4000);
  EXPECT_TRUE(holder.AdmitCorrelationId(kIdA));
  clock->AdvanceMs(3000);
  EXPECT_FALSE(holder.AdmitCorrelationId(kIdA));
  EXPECT_DOUBLE_EQ(holder.SessionStopwatch().ElapsedMs(), 3000);
  EXPECT_DOUBLE_EQ(holder.PollStopwatch().ElapsedMs(), 0);

  clock->AdvanceMs(2000);
  EXPECT_TRUE(holder.AdmitCorrelationId(kIdB));
  EXPECT_DOUBLE_EQ(holder.SessionStopwatch().ElapsedMs(), 0);
  EXPECT_EQ(state.CorrelationIds(), (std::set<std::string>{kIdA, kIdB}));
}

TEST_F(ListenerHolderTest, AThousandFreshIdsLeaveTheSessionAtItsBound) {
  const auto id = [](int number) { return "QCID" + std::to_string(100000000 + number) + "QCID"; };
  constexpr int kFreshIds = 1000;
  for (int number = 0; number < kFreshIds; ++number) {
    holder.AdmitCorrelationId(id(number));
    state.TryRecordMatchRestart(id(number), 3);
    state.MarkMatchResultDelivered(id(number));
  }
  EXPECT_EQ(state.CorrelationIds().size(), FrameSessionState::kMaxSessionIds);
  EXPECT_EQ(state.MatchAttempts().size(), FrameSessionState::kMaxSessionIds);

  // Past the bound a fresh id no longer keeps the session alive, while a
  // recorded one still counts as a poll.
  clock->AdvanceMs(3000);
  EXPECT_FALSE(holder.AdmitCorrelationId(id(kFreshIds)));
  EXPECT_DOUBLE_EQ(holder.SessionStopwatch().ElapsedMs(), 3000);
  EXPECT_DOUBLE_EQ(holder.PollStopwatch().ElapsedMs(), 0);
  EXPECT_FALSE(state.TryRecordMatchRestart(id(kFreshIds), 3));
  EXPECT_TRUE(state.MatchAttemptOf(id(0)).IsResultDelivered());

  // The session's end frees the room.
  holder.ResetCaptureSession(StoredFramesPolicy::kClear);
  EXPECT_TRUE(holder.AdmitCorrelationId(id(kFreshIds)));
  EXPECT_TRUE(state.TryBeginFirstMatchAttempt(id(kFreshIds)));
}

TEST_F(ListenerHolderTest, SynchronousRequestsCountAsActivityOnlyDuringASession) {
  clock->AdvanceMs(2000);
  holder.RestartStopwatchesIfSessionStarted();
  EXPECT_DOUBLE_EQ(holder.PollStopwatch().ElapsedMs(), 2000);

  state.BeginSession(clock->WallClockWholeSecondsMs());
  holder.RestartStopwatchesIfSessionStarted();
  EXPECT_DOUBLE_EQ(holder.PollStopwatch().ElapsedMs(), 0);
  EXPECT_DOUBLE_EQ(holder.SessionStopwatch().ElapsedMs(), 0);
}

TEST_F(ListenerHolderTest, ResetCaptureSessionEndsTheSession) {
  for (const auto policy : {StoredFramesPolicy::kKeep, StoredFramesPolicy::kClear}) {
    state.BeginSession(1000);
    state.SetTimeOutInProgress(true);
    state.SetOperationStarted(true);
    state.AddCorrelationId(kIdA);
    state.RecordFirstMatchStart(kIdA);
    state.StoreProcessedFrames("{\"frames\":[]}\n");
    FillEveryQueue();

    holder.ResetCaptureSession(policy);

    EXPECT_FALSE(state.IsStarted());
    EXPECT_FALSE(state.IsTimeOutInProgress());
    EXPECT_FALSE(state.IsOperationStarted());
    EXPECT_TRUE(state.CorrelationIds().empty());
    EXPECT_TRUE(state.MatchAttempts().empty());
    EXPECT_FALSE(AnyQueueHoldsEntries());
    EXPECT_EQ(state.StoredProcessedFrames().empty(), policy == StoredFramesPolicy::kClear);
  }
}

TEST(ListenerHolderLifetimeTest, DestructionReleasesEveryEngineReference) {
  auto engine = std::make_shared<test::FakeFaceLogin>();
  std::weak_ptr<test::FakeFaceLogin> watched = engine;
  auto owned = std::make_unique<LMListenerHolder>(std::move(engine));
  EXPECT_FALSE(watched.expired());
  owned.reset();
  EXPECT_TRUE(watched.expired());
}

TEST(FrameSessionStateTest, ReleaseCorrelationIdAnswersEachSessionSituation) {
  FrameSessionState state;
  EXPECT_EQ(state.ReleaseCorrelationId(kIdA), CorrelationRelease::kNotStarted);

  state.BeginSession(1000);
  state.AddCorrelationId(kIdA);
  state.AddCorrelationId(kIdB);
  state.SetTimeOutInProgress(true);
  EXPECT_EQ(state.ReleaseCorrelationId(kIdA), CorrelationRelease::kTimeOutInProgress);
  state.SetTimeOutInProgress(false);

  EXPECT_EQ(state.ReleaseCorrelationId("QCID-never-polled"), CorrelationRelease::kUnknownId);
  EXPECT_EQ(state.ReleaseCorrelationId(kIdA), CorrelationRelease::kOthersRemain);
  EXPECT_EQ(state.ReleaseCorrelationId(kIdA), CorrelationRelease::kUnknownId);
  EXPECT_EQ(state.ReleaseCorrelationId(kIdB), CorrelationRelease::kLastReleased);
}

TEST(FrameSessionStateTest, MatchAttemptsCountStartsAndStopAfterAResult) {
  FrameSessionState state;
  int starts = 0;
  while (state.TryRecordMatchRestart(kIdA, 3)) {
    ++starts;
  }
  EXPECT_EQ(starts, 4);  // 0 to 3 earlier starts qualify
  EXPECT_EQ(state.MatchAttemptOf(kIdA).Starts(), 4);

  state.RecordFirstMatchStart(kIdB);
  state.MarkMatchResultDelivered(kIdB);
  EXPECT_FALSE(state.TryRecordMatchRestart(kIdB, 3));
  EXPECT_TRUE(state.MatchAttemptOf(kIdB).IsResultDelivered());
  EXPECT_EQ(state.MatchAttemptOf("QCID-unknown").GetPhase(), MatchAttempt::Phase::kNotStarted);
  EXPECT_EQ(state.MatchAttempts().at(kIdB).CorrelationId(), kIdB);
}

TEST(FrameSessionStateTest, FirstMatchAttemptAndOperationStartHappenOnce) {
  FrameSessionState state;
  EXPECT_FALSE(state.HasActiveMatchAttempt());
  EXPECT_TRUE(state.TryBeginFirstMatchAttempt(kIdA));
  EXPECT_TRUE(state.HasActiveMatchAttempt());
  EXPECT_FALSE(state.TryBeginFirstMatchAttempt(kIdB));
  EXPECT_FALSE(state.MatchAttemptOf(kIdB).IsActive());

  EXPECT_TRUE(state.TryMarkOperationStarted());
  EXPECT_FALSE(state.TryMarkOperationStarted());
  EXPECT_TRUE(state.IsOperationStarted());
}

}  // namespace
}  // namespace corvane::larchmere::plugin::common
