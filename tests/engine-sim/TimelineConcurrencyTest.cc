// Enrollment and match timelines, and pushes onto the registered callbacks: both
// run on the engine's event thread.
#include <functional>

#include "SimTestSupport.h"

namespace keystead::sim::test {
namespace {

using TimelineConcurrencyTest = SimTest;

bool AllOnOtherThreads(RecordingListener& listener) {
  return listener.Read([&] {
    for (const std::thread::id& thread : listener.threads) {
      if (thread == std::this_thread::get_id()) return false;
    }
    return !listener.threads.empty();
  });
}

TEST_F(TimelineConcurrencyTest, EnrollmentReportsFeedbackThenProcessedFrames) {
  ASSERT_EQ(engine->RemoteEnroll(&listener, &listener), 0);
  ASSERT_TRUE(listener.WaitFor([&] { return !listener.processed.empty(); }));
  listener.Read([&] {
    ASSERT_EQ(listener.feedbacks.size(), 2u);
    EXPECT_EQ(listener.feedbacks[0].description, "Face not centered");
    EXPECT_EQ(listener.feedbacks[1].description, "Hold still");
    ASSERT_EQ(listener.processed.size(), 1u);
    ASSERT_EQ(listener.processed[0].frames.size(), 3u);
    EXPECT_FALSE(listener.processed[0].frames[0].image.empty());
    EXPECT_FALSE(listener.processed[0].frames[0].attestedData.empty());
  });
  EXPECT_TRUE(AllOnOtherThreads(listener));
}

struct MatchCase {
  const char* name;
  std::function<int(sdk::FaceLogin&, RecordingListener&)> start;
  bool hybrid;  // result to the hybrid callback, feedback to the enrollment callback
};

class MatchTimelineConcurrencyTest : public SimTest,
                                     public ::testing::WithParamInterface<MatchCase> {};

TEST_P(MatchTimelineConcurrencyTest, ReportsFeedbackThenTheResultWithTheCorrelationId) {
  ASSERT_EQ(GetParam().start(*engine, listener), 0);
  const bool hybrid = GetParam().hybrid;
  ASSERT_TRUE(listener.WaitFor(
      [&] { return !(hybrid ? listener.hybridResults : listener.remoteResults).empty(); }));
  listener.Read([&] {
    const auto& results = hybrid ? listener.hybridResults : listener.remoteResults;
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].correlationId, kCorrelationId);
    EXPECT_TRUE(results[0].matchStatus);
    EXPECT_FALSE(results[0].idToken.empty());
    EXPECT_TRUE((hybrid ? listener.remoteResults : listener.hybridResults).empty());
    // Without an enrollment callback the remote flow hears its feedback as errors.
    EXPECT_EQ(listener.feedbacks.size(), hybrid ? 2u : 0u);
    EXPECT_EQ(listener.errors.size(), hybrid ? 0u : 2u);
  });
  EXPECT_TRUE(AllOnOtherThreads(listener));
}

INSTANTIATE_TEST_SUITE_P(
    Operations, MatchTimelineConcurrencyTest,
    ::testing::Values(MatchCase{"LocalMatch",
                                [](sdk::FaceLogin& face, RecordingListener& l) {
                                  return face.LocalMatch(&l, &l, 1, Context(kCorrelationId), 3);
                                },
                                true},
                      MatchCase{"TryLocalMatch",
                                [](sdk::FaceLogin& face, RecordingListener& l) {
                                  return face.TryLocalMatch(&l, &l, 1, Context(kCorrelationId), 3,
                                                            "id-token");
                                },
                                true},
                      MatchCase{"AddDeviceMatch",
                                [](sdk::FaceLogin& face, RecordingListener& l) {
                                  return face.AddDeviceMatch(&l, &l, 1, Context(kCorrelationId),
                                                             "tx-1");
                                },
                                true},
                      MatchCase{"RemoteMatch",
                                [](sdk::FaceLogin& face, RecordingListener& l) {
                                  return face.RemoteMatch(Context(kCorrelationId), &l, 1);
                                },
                                false}),
    [](const ::testing::TestParamInfo<MatchCase>& info) { return info.param.name; });

TEST_F(TimelineConcurrencyTest, StopAndANewMatchDropTheEventsStillPending) {
  Configure([](Config& config) {
    for (TimelineEvent& event : config.timelines["match"]) event.after = 40ms;
  });
  ASSERT_EQ(engine->LocalMatch(&listener, &listener, 1, Context("first"), 3), 0);
  ASSERT_EQ(engine->StopRemoteBiometricData(), 0);
  ASSERT_EQ(engine->LocalMatch(&listener, &listener, 1, Context("second"), 3), 0);
  ASSERT_EQ(engine->LocalMatch(&listener, &listener, 1, Context(kCorrelationId), 3), 0);

  ASSERT_TRUE(listener.WaitFor([&] { return !listener.hybridResults.empty(); }));
  std::this_thread::sleep_for(150ms);
  listener.Read([&] {
    ASSERT_EQ(listener.hybridResults.size(), 1u);
    EXPECT_EQ(listener.hybridResults[0].correlationId, kCorrelationId);
  });
}

TEST_F(TimelineConcurrencyTest, OperationsStayQuietWhenTimelinesAreOff) {
  Configure([](Config& config) { config.autoTimelines = false; });
  ASSERT_EQ(engine->RemoteEnroll(&listener, &listener), 0);
  ASSERT_EQ(engine->RemoteMatch(Context(kCorrelationId), &listener, 1), 0);
  std::this_thread::sleep_for(100ms);
  EXPECT_TRUE(listener.Read([&] { return listener.threads.empty(); }));
}

TEST_F(TimelineConcurrencyTest, PushesReachTheRegisteredCallbacksOnTheEventThread) {
  Configure([](Config& config) { config.autoTimelines = false; });
  const sdk::SDK_ERROR error{4, 46, "Local match", "", 0, ""};
  sdk::SDK_RemoteMatchFeedback result;
  result.correlationId = kCorrelationId;
  EXPECT_FALSE(PushEnrollmentFeedback({"Hold still", 9, {}}));
  EXPECT_FALSE(PushHybridMatchFeedback(result));
  EXPECT_FALSE(PushDeviceAuthenticated("a", "b"));

  ASSERT_EQ(engine->HybridEnroll(&listener, &listener, "tx", false, "a@b.c"), 0);
  ASSERT_EQ(engine->AddDeviceMatch(&listener, &listener, 1, Context(kCorrelationId), "tx"), 0);
  ASSERT_EQ(engine->RemoteMatch(Context(kCorrelationId), &listener, 1), 0);
  ASSERT_EQ(engine->SetDeviceAuthenticatedCallback(&listener), 0);
  EXPECT_TRUE(PushEnrollmentFeedback({"Hold still", 9, {}}));
  EXPECT_TRUE(PushProcessedFrames({{{"img", "att", "jwt"}}}));
  EXPECT_TRUE(PushHybridMatchFeedback(result));
  EXPECT_TRUE(PushRemoteMatchFeedback(result));
  EXPECT_TRUE(PushDeviceAuthenticated("device-1", "user-1"));
  for (Listener target : {Listener::Enroll, Listener::ProcessedFrames, Listener::RemoteMatch,
                          Listener::HybridMatch, Listener::DeviceAuthenticated}) {
    EXPECT_TRUE(PushError(target, error));
  }

  // Each push returned after its callback did: no waiting needed here.
  listener.Read([&] {
    EXPECT_EQ(listener.feedbacks.size(), 1u);
    EXPECT_EQ(listener.processed.size(), 1u);
    EXPECT_EQ(listener.hybridResults.size(), 1u);
    EXPECT_EQ(listener.remoteResults.size(), 1u);
    ASSERT_EQ(listener.devices.size(), 1u);
    EXPECT_EQ(listener.devices[0], std::make_pair(std::string("device-1"), std::string("user-1")));
    EXPECT_EQ(listener.errors.size(), 5u);
  });
  EXPECT_TRUE(AllOnOtherThreads(listener));
}

}  // namespace
}  // namespace keystead::sim::test
