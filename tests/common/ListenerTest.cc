#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/EngineRecords.h"
#include "common/ManualClock.h"
#include "plugin/common/DeviceAuthenticatedListener.h"
#include "plugin/common/LMEnrollFeedbackListener.h"
#include "plugin/common/LMHybridMatchListener.h"
#include "plugin/common/LMListenerHolder.h"
#include "plugin/common/LMMatchFeedbackListener.h"
#include "plugin/common/LMProcessedFramesListener.h"

namespace corvane::larchmere::plugin::common {
namespace {

using Corvane::QAV::SDK::SDK_EnrollmentFeedback;
using Corvane::QAV::SDK::SDK_ERROR;
using Corvane::QAV::SDK::SDK_Frame;
using Corvane::QAV::SDK::SDK_ProcessedFrame;
using Corvane::QAV::SDK::SDK_ProcessedFramesContainer;
using Corvane::QAV::SDK::SDK_RemoteMatchFeedback;
using keystead::test::EngineError;
using keystead::test::kCorrelationId;
using keystead::test::MatchFeedback;

const std::string kOtherCorrelationId = "QCID00000000-1111-2222-3333-444444444444QCID";

SDK_EnrollmentFeedback Feedback(const std::string& description, int code = 0) {
  SDK_EnrollmentFeedback feedback;
  feedback.description = description;
  feedback.code = code;
  return feedback;
}

struct ErrorCase {
  int source;
  int code;
  bool queued;
  bool invalidCamera;
};

class ListenerErrorTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(ListenerErrorTest, QueuesBySourceAndFlagsCameraCodes) {
  const ErrorCase& param = GetParam();
  LMEnrollFeedbackListener listener;

  listener.OnError(EngineError(param.source, param.code));

  EXPECT_EQ(listener.HasErrors(), param.queued);
  EXPECT_EQ(listener.IsInvalidCamera(), param.invalidCamera);
}

INSTANTIATE_TEST_SUITE_P(
    SourcesAndCodes, ListenerErrorTest,
    testing::Values(ErrorCase{0, 5632, false, true},  // camera flag set, but not queued
                    ErrorCase{2, 5636, true, false},  // 0x1604 is not a camera code
                    ErrorCase{1, 5633, true, true}, ErrorCase{4, 5637, true, true},
                    ErrorCase{3, 42, true, false}, ErrorCase{5, 42, false, false},
                    ErrorCase{-1, 5637, false, true}));

TEST(ListenerTest, QueuedErrorKeepsEveryField) {
  LMMatchFeedbackListener listener;
  SDK_ERROR error = EngineError(4, 1234, "description");
  error.cloudError = "cloud";
  error.templateCount = 3;
  error.liveness = "BLINK";

  listener.OnError(error);
  const auto copy = listener.TakeNewestError();

  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->source, 4);
  EXPECT_EQ(copy->code, 1234);
  EXPECT_EQ(copy->description, "description");
  EXPECT_EQ(copy->cloudError, "cloud");
  EXPECT_EQ(copy->templateCount, 3);
  EXPECT_EQ(copy->liveness, "BLINK");
  EXPECT_FALSE(listener.HasErrors());
}

TEST(ListenerTest, CameraFlagStaysUntilUnset) {
  LMHybridMatchListener listener;
  listener.OnError(EngineError(2, 5633));
  listener.OnError(EngineError(2, 0));
  listener.TakeNewestError();
  EXPECT_TRUE(listener.IsInvalidCamera());

  listener.UnsetInvalidCamera();
  EXPECT_FALSE(listener.IsInvalidCamera());
}

TEST(ListenerTest, DropsRecordsThatFailTheQueueingCondition) {
  LMEnrollFeedbackListener enroll;
  enroll.OnEnrollmentFeedback(Feedback(""));
  EXPECT_FALSE(enroll.HasEntries());

  LMProcessedFramesListener processed;
  processed.OnProcessedFrames(SDK_ProcessedFramesContainer{});
  EXPECT_FALSE(processed.HasEntries());
  processed.OnProcessedFrames(SDK_ProcessedFramesContainer{{SDK_ProcessedFrame{"img", "a", "j"}}});
  EXPECT_TRUE(processed.HasEntries());
}

TEST(ListenerTest, MatchListenerKeepsOnlyClaimableCorrelationIds) {
  const SDK_RemoteMatchFeedback shortId = MatchFeedback(kCorrelationId.substr(0, 43));
  const SDK_RemoteMatchFeedback longId = MatchFeedback(kCorrelationId + "X");
  LMMatchFeedbackListener match;
  LMHybridMatchListener hybrid;

  match.OnRemoteMatchFeedback(shortId);
  match.OnRemoteMatchFeedback(longId);
  hybrid.OnHybridMatchFeedback(shortId);

  EXPECT_FALSE(match.HasEntries());
  EXPECT_EQ(hybrid.Size(), 1u);

  match.OnRemoteMatchFeedback(MatchFeedback(kCorrelationId));
  EXPECT_EQ(match.Size(), 1u);
}

TEST(ListenerTest, TakeNewestReturnsTheLastEntryAndEmptiesTheQueue) {
  LMEnrollFeedbackListener listener;
  listener.OnEnrollmentFeedback(Feedback("first", 1));
  listener.OnEnrollmentFeedback(Feedback("second", 2));
  listener.OnEnrollmentFeedback(Feedback("third", 3));

  const auto newest = listener.TakeNewest();

  ASSERT_NE(newest, nullptr);
  EXPECT_EQ(newest->description, "third");
  EXPECT_EQ(newest->code, 3);
  EXPECT_FALSE(listener.HasEntries());
  EXPECT_EQ(listener.TakeNewest(), nullptr);
}

TEST(ListenerTest, MatchScanFindsOnlyTheCallersFeedbackAndKeepsTheQueue) {
  LMMatchFeedbackListener listener;
  listener.OnRemoteMatchFeedback(MatchFeedback(kOtherCorrelationId, 1));
  listener.OnRemoteMatchFeedback(MatchFeedback(kCorrelationId, 2));
  listener.OnRemoteMatchFeedback(MatchFeedback(kCorrelationId, 3));

  const auto mine = listener.FindByCorrelationId(kCorrelationId);
  ASSERT_NE(mine, nullptr);
  EXPECT_EQ(mine->nextStep, 2);  // the oldest of the caller's entries
  EXPECT_EQ(listener.FindByCorrelationId("QCID-unknown"), nullptr);
  EXPECT_EQ(listener.Size(), 3u);
  EXPECT_EQ(listener.FindByCorrelationId(kOtherCorrelationId)->nextStep, 1);
}

TEST(ListenerTest, HybridPeekReturnsTheOldestAndKeepsIt) {
  LMHybridMatchListener listener;
  listener.OnHybridMatchFeedback(MatchFeedback("", 1));
  listener.OnHybridMatchFeedback(MatchFeedback("", 2));

  EXPECT_EQ(listener.PeekOldest()->nextStep, 1);
  EXPECT_EQ(listener.PeekOldest()->nextStep, 1);
  EXPECT_EQ(listener.Size(), 2u);
  listener.EmptyQueue();
  EXPECT_EQ(listener.PeekOldest(), nullptr);
}

TEST(ListenerTest, QueuesAreBoundedAndDropTheOldest) {
  LMEnrollFeedbackListener listener;
  const int pushed = static_cast<int>(LMListener::kMaxQueuedEntries) + 6;
  for (int i = 1; i <= pushed; ++i) {
    listener.OnEnrollmentFeedback(Feedback("feedback", i));
    listener.OnError(EngineError(2, i));
  }

  EXPECT_EQ(listener.Size(), LMListener::kMaxQueuedEntries);
  EXPECT_EQ(listener.ErrorCount(), LMListener::kMaxQueuedEntries);
  EXPECT_EQ(listener.TakeNewest()->code, pushed);
  EXPECT_EQ(listener.TakeNewestError()->code, pushed);
}

class FrameListenerTest : public testing::Test {
 protected:
  static SDK_Frame Frame(int frameSize, const std::string& image = "pixels") {
    SDK_Frame frame;
    frame.image = image;
    frame.frameSize = frameSize;
    frame.width = 640;
    frame.faceCoords.points = {{1, 2}, {3, 4}};
    return frame;
  }

  std::shared_ptr<test::ManualClock> clock = std::make_shared<test::ManualClock>();
  LMListenerHolder holder{nullptr, clock};
  LMFrameListener& frames = holder.FrameListener();
};

TEST_F(FrameListenerTest, QueuesAStampedDeepCopyOfFramesWithContent) {
  frames.OnFrame(Frame(0));
  frames.OnFrame(Frame(-1));
  EXPECT_FALSE(frames.HasEntries());

  SDK_Frame original = Frame(4, "abcd");
  frames.OnFrame(original);
  original.image = "changed";

  const auto queued = frames.TakeNewest();
  ASSERT_NE(queued, nullptr);
  EXPECT_EQ(queued->frame->image, "abcd");
  EXPECT_EQ(queued->frame->width, 640);
  EXPECT_EQ(queued->frame->faceCoords.points.size(), 2u);
  EXPECT_EQ(queued->arrivalTimeMs, test::ManualClock::kDefaultWallClockMs);
  EXPECT_FALSE(frames.HasEntries());
}

TEST_F(FrameListenerTest, KeepsOnlyTheNewestFrames) {
  for (int size = 1; size <= 5; ++size) {
    frames.OnFrame(Frame(size));
  }
  EXPECT_EQ(frames.Size(), LMFrameListener::kMaxQueuedFrames);
  EXPECT_EQ(frames.TakeNewest()->frame->frameSize, 5);
}

TEST_F(FrameListenerTest, ArrivalStampsHaveWholeSecondResolution) {
  const double sessionStart = clock->WallClockWholeSecondsMs();
  clock->AdvanceMs(999);
  frames.OnFrame(Frame(1));

  // Same second as the session start: not newer, and left queued.
  EXPECT_EQ(frames.TakeNewestIfNewerThan(sessionStart), nullptr);
  EXPECT_EQ(frames.Size(), 1u);

  clock->AdvanceMs(1);
  frames.OnFrame(Frame(2));
  const auto newer = frames.TakeNewestIfNewerThan(sessionStart);
  ASSERT_NE(newer, nullptr);
  EXPECT_EQ(newer->frame->frameSize, 2);
  EXPECT_EQ(newer->arrivalTimeMs, sessionStart + 1000);
  EXPECT_FALSE(frames.HasEntries());
}

struct DeviceCall {
  std::string first;
  std::string second;
};
std::vector<DeviceCall> deviceCalls;

void RecordDeviceAuthenticated(const char* first, const char* second) {
  deviceCalls.push_back({first, second});
}

TEST(DeviceAuthenticatedListenerTest, ForwardsBothTextsOnlyWhenTheHostWantsThem) {
  deviceCalls.clear();
  DeviceAuthenticatedListener listener;
  EXPECT_FALSE(listener.HasDeviceCallback());
  listener.OnDeviceAuthenticated("ignored", "ignored");
  EXPECT_TRUE(deviceCalls.empty());

  HostCallbacks callbacks{};
  callbacks.deviceAuthenticated = &RecordDeviceAuthenticated;
  listener.SetHostCallbacks(callbacks);
  listener.OnError(EngineError(2, 5633));  // of no interest to this listener
  listener.OnDeviceAuthenticated("device-id", "user@example.com");

  EXPECT_TRUE(listener.HasDeviceCallback());
  ASSERT_EQ(deviceCalls.size(), 1u);
  EXPECT_EQ(deviceCalls[0].first, "device-id");
  EXPECT_EQ(deviceCalls[0].second, "user@example.com");
}

}  // namespace
}  // namespace corvane::larchmere::plugin::common
