// "/frame/enrollment" through the plug-in's exports: the first call, the
// poll order, what is kept between polls, and the engine's failures.
#include <algorithm>
#include <string>
#include <vector>

#include "tests/entry/CaptureTestSupport.h"

namespace corvane::larchmere::plugin::test {
namespace {

const std::string kId = CaptureId(1);

// The enrollment document of SmallFrame(2).
constexpr char kSecondFrameDocument[] =
    R"({"data":{"frames":[{"channels":3,"depth":8,"faceQuality":82,"frameSize":36,"height":3,)"
    R"("image":"CARoCQRoCgRoCwRoCAVoCQVoCgVoCwVoCAZoCQZoCgZojKzg","isProcessed":0,"version":1,)"
    R"("width":4}],"processed":false}})"
    "\n";

sdk::SDK_EnrollmentFeedback Feedback(int code, const std::string& description) {
  sdk::SDK_EnrollmentFeedback feedback;
  feedback.code = code;
  feedback.description = description;
  return feedback;
}

sdk::SDK_ProcessedFramesContainer Processed(const std::string& tag) {
  sdk::SDK_ProcessedFramesContainer container;
  container.frames.push_back({"image-" + tag, "attested-" + tag, "cert-" + tag});
  return container;
}

std::string ProcessedDocument(const std::string& tag) {
  return R"({"data":{"frames":[{"attestedData":"attested-)" + tag + R"(","image":"image-)" + tag +
         R"(","jwtCert":"cert-)" + tag + R"("}],"processed":true}})" + "\n";
}

class CaptureEnrollTest : public CaptureTest {
 protected:
  static CaptureResponse Enroll(const std::vector<std::string>& extraLines = {},
                                const std::string& body = "{}") {
    return Post("/frame/enrollment", CaptureHeaders(kId, extraLines), body);
  }
};

TEST_F(CaptureEnrollTest, PollsReturnPreviewThenFeedbackThenProcessedFramesWhichAreStored) {
  const CaptureResponse first = Enroll({"PreviewType: DOTS"});
  EXPECT_EQ(first.status, 200);
  EXPECT_EQ(first.body, kNothingYet);
  const std::vector<sim::Call> captures = sim::CallsTo("StartRemoteBiometricData");
  ASSERT_EQ(captures.size(), 1u);
  EXPECT_EQ(captures[0].args, (std::vector<std::string>{"set", "2"}));
  EXPECT_EQ(sim::CallsTo("RemoteEnroll").size(), 1u);
  // The engine is given a second to deliver before the enrollment starts,
  // and the empty poll waited once, for its whole budget.
  EXPECT_EQ(Sleeps(), (std::vector<int>{1000}));
  EXPECT_EQ(clock->Waits(), (std::vector<double>{2000}));

  PushFrame(1);
  PushFrame(2);
  EXPECT_EQ(Enroll().body, kSecondFrameDocument);
  ASSERT_TRUE(sim::PushEnrollmentFeedback(Feedback(3, "Face not centered")));
  EXPECT_EQ(Enroll().body, EnrollFeedbackDocument(3, "Face not centered"));
  ASSERT_TRUE(sim::PushProcessedFrames(Processed("a")));
  ASSERT_TRUE(sim::PushProcessedFrames(Processed("b")));
  const CaptureResponse result = Enroll();
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.body, ProcessedDocument("b"));

  // The packet-signing endpoint completes a marked packet with the stored
  // frames: those of the last result.
  Post("/signpacket", CaptureHeaders(kId),
       R"({"data":{"userData":{}},"kind":"SIGNPACK_ENROLL_REQUEST"})");
  const std::vector<sim::Call> signs = sim::CallsTo("SignPacket");
  ASSERT_EQ(signs.size(), 1u);
  EXPECT_NE(signs[0].args[0].find("image-b"), std::string::npos) << signs[0].args[0];
  EXPECT_EQ(signs[0].args[0].find("image-a"), std::string::npos) << signs[0].args[0];
}

TEST_F(CaptureEnrollTest, HybridCallerStartsTheHybridEnrollmentWithTheBodyValues) {
  Enroll({"Caller: HYBRID"},
         R"({"userData":{"reEnroll":true,"email":"a@b.c","oTransId":"trans-7"}})");

  const std::vector<sim::Call> enrolls = sim::CallsTo("HybridEnroll");
  ASSERT_EQ(enrolls.size(), 1u);
  EXPECT_EQ(enrolls[0].args, (std::vector<std::string>{"set", "set", "trans-7", "true", "a@b.c"}));
  EXPECT_EQ(sim::CallCount("RemoteEnroll"), 0u);
}

TEST_F(CaptureEnrollTest, FrameFromTheSecondOfTheSessionStartIsNotShown) {
  // Pushed while the first call waits before the enrollment start: the frame
  // carries the session's own start second.
  clock->SetSleepHook([](int milliseconds) {
    if (milliseconds == 1000) sim::PushFrame(SmallFrame(1));
  });
  EXPECT_EQ(Enroll().body, kNothingYet);
  clock->SetSleepHook(nullptr);
  EXPECT_EQ(Enroll().body, kNothingYet);

  PushFrame(2);
  EXPECT_EQ(Enroll().body, kSecondFrameDocument);
}

TEST_F(CaptureEnrollTest, FeedbackWinsOverFrameAndEmptiesTheOtherQueues) {
  Enroll();
  PushFrame(1);
  ASSERT_TRUE(sim::PushEnrollmentFeedback(Feedback(9, "Hold still")));
  ASSERT_TRUE(sim::PushError(sim::Listener::Enroll, EngineEvent(4, 77, "older error")));

  EXPECT_EQ(Enroll().body, EnrollFeedbackDocument(9, "Hold still"));
  EXPECT_EQ(Enroll().body, kNothingYet);
}

TEST_F(CaptureEnrollTest, ProcessedFramesNotTakenWhenFeedbackWinsAreAnsweredByTheNextPoll) {
  Enroll();
  ASSERT_TRUE(sim::PushProcessedFrames(Processed("kept")));
  ASSERT_TRUE(sim::PushEnrollmentFeedback(Feedback(9, "Hold still")));

  EXPECT_EQ(Enroll().body, EnrollFeedbackDocument(9, "Hold still"));
  EXPECT_EQ(Enroll().body, ProcessedDocument("kept"));
}

struct EnrollErrorCase {
  const char* name;
  sim::Listener target;
  int source;
  bool asFeedback;  // rendered as an enrollment feedback rather than an error document
};

class CaptureEnrollErrorTest : public CaptureEnrollTest,
                               public ::testing::WithParamInterface<EnrollErrorCase> {};

TEST_P(CaptureEnrollErrorTest, QueuedEngineErrorIsAnsweredWith200) {
  const EnrollErrorCase& test = GetParam();
  Enroll();
  const sdk::SDK_ERROR error = EngineEvent(test.source, 1234, "engine trouble");
  ASSERT_TRUE(sim::PushError(test.target, error));

  const CaptureResponse response = Enroll();

  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.body, test.asFeedback ? EnrollFeedbackDocument(1234, "engine trouble")
                                           : CaptureError(test.source, 1234, "engine trouble"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureEnrollErrorTest,
    ::testing::Values(EnrollErrorCase{"Frame", sim::Listener::Frame, 2, false},
                      EnrollErrorCase{"ProcessedFrames", sim::Listener::ProcessedFrames, 3, false},
                      EnrollErrorCase{"Enrollment", sim::Listener::Enroll, 4, true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(CaptureEnrollTest, CameraFlaggedInvalidDuringThePollIsAnsweredAsFeedback) {
  Enroll();
  // Source 0 is not queued, but the code marks the camera invalid.
  clock->SetWaitHook(
      [](double) { sim::PushError(sim::Listener::Enroll, EngineEvent(0, 5633, "none")); });
  const double startMs = clock->NowMs();

  const CaptureResponse response = Enroll();

  EXPECT_EQ(response.status, 200);
  EXPECT_EQ(response.body,
            EnrollFeedbackDocument(
                5633, "Either no camera was selected or an invalid camera was specified."));
  // The flag woke the waiting poll: it answered without waiting out its budget.
  EXPECT_EQ(clock->NowMs(), startMs);
}

TEST_F(CaptureEnrollTest, FailedCaptureStartAnswers500AndALaterPollStartsOnlyTheEnrollment) {
  sim::SetResult("StartRemoteBiometricData", 31);

  const CaptureResponse first = Enroll();
  EXPECT_EQ(first.status, 500);
  EXPECT_EQ(first.body, EngineError(31, "RemoteBiometricData"));
  EXPECT_EQ(sim::CallCount("RemoteEnroll"), 0u);

  // The session counts as started: the next poll starts the enrollment
  // without a capture and without the pause.
  const std::size_t sleepsBefore = Sleeps().size();
  const CaptureResponse later = Enroll();
  EXPECT_EQ(later.status, 200);
  EXPECT_EQ(sim::CallCount("StartRemoteBiometricData"), 1u);
  EXPECT_EQ(sim::CallCount("RemoteEnroll"), 1u);
  const std::vector<int> sleeps = Sleeps();
  EXPECT_EQ(
      std::count(sleeps.begin() + static_cast<std::ptrdiff_t>(sleepsBefore), sleeps.end(), 1000),
      0);
  // Started once: further polls start nothing.
  Enroll();
  EXPECT_EQ(sim::CallCount("RemoteEnroll"), 1u);
}

TEST_F(CaptureEnrollTest, FailedEnrollmentStartAnswers500) {
  sim::SetResult("RemoteEnroll", 44);

  const CaptureResponse response = Enroll();

  EXPECT_EQ(response.status, 500);
  EXPECT_EQ(response.body, EngineError(44, "Remote/Hybrid Enroll"));
}

}  // namespace
}  // namespace corvane::larchmere::plugin::test
