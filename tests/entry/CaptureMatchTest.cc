// "/frame/match", "/frame/trymatch" and "/frame/adddevice" through the
// plug-in's exports: remote and hybrid flows, match restarts, the end of a
// session after a result, and the engine's failures.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "tests/entry/CaptureTestSupport.h"

namespace corvane::larchmere::plugin::test {
namespace {

const std::string kId = CaptureId(1);
const std::string kOtherId = CaptureId(2);
constexpr char kRemoteCaller[] = "Caller: REMOTE_PSI_25";

// The match preview of SmallFrame(index) for liveness 1 (BLINK) or 2
// (BLINK_STRICT), with or without its image.
std::string MatchFrameDocument(std::uint64_t index, sdk::SDK_Livenesstype liveness,
                               bool streamingImage) {
  const bool second = index == 2;
  const std::string image = !streamingImage ? ""
                            : second
                                ? R"("image":"CARoCQRoCgRoCwRoCAVoCQVoCgVoCwVoCAZoCQZoCgZojKzg",)"
                                : R"("image":"BAJkBQJkBgJkBwJkBANkBQNkBgNkjKzgBARkBQRkBgRkjKzg",)";
  const std::string coordinates =
      second ? R"("rotation":{"x":2.0791169081775931,"y":9.7814760073380569,"z":0.0},)"
               R"("translation":{"x":0.78251808058704464,"y":0.12474701449065551,"z":600.0})"
             : R"("rotation":{"x":1.0452846326765346,"y":9.9452189536827333,"z":0.0},)"
               R"("translation":{"x":0.79561751629461863,"y":0.062717077960592116,"z":600.0})";
  return R"({"blink":false,"frame":{"channels":3,"depth":8,"faceCoords":{)" + coordinates +
         R"(},"faceQuality":)" + (second ? "82" : "81") + R"(,"frameSize":36,"height":3,)" + image +
         R"("isProcessed":0,"version":1,"width":4},"liveness":)" + std::to_string(liveness) +
         R"(,"matchStatus":false,"nextStep":""})" + "\n";
}

std::vector<std::string> LastArgs(const std::string& operation) {
  const std::vector<sim::Call> calls = sim::CallsTo(operation);
  return calls.empty() ? std::vector<std::string>{} : calls.back().args;
}

void SetLivenessSetting(const std::string& value) {
  sim::Configure([&](sim::Config& config) {
    config.settings["BCA_LIVENESS_TYPE_REMOTE_MATCH"].value = value;
  });
}

using CaptureMatchTest = CaptureTest;

TEST_F(CaptureMatchTest, RemoteLoginAnswersOnlyItsOwnResultAndRestartsWhileTheCountAllows) {
  const std::string body = R"({"userData":{"email":"a@b.c"}})";
  const CaptureResponse first = Post("/frame/match", CaptureHeaders(kId, {kRemoteCaller}), body);
  EXPECT_EQ(first.status, 200);
  EXPECT_EQ(first.body, kNothingYet);
  EXPECT_EQ(LastArgs("RemoteMatch"), (std::vector<std::string>{body, kId, "", "set", "1"}));

  // Another page's result stays queued for that page.
  ASSERT_TRUE(sim::PushRemoteMatchFeedback(MatchResult(kOtherId)));
  SetLivenessSetting("3");
  for (int poll = 0; poll < 4; ++poll) {
    EXPECT_EQ(Post("/frame/match", CaptureHeaders(kId, {kRemoteCaller})).body, kNothingYet);
  }
  // The first start and three restarts, each restart with a fresh setting.
  EXPECT_EQ(sim::CallCount("RemoteMatch"), 4u);
  EXPECT_EQ(LastArgs("RemoteMatch").back(), "3");

  ASSERT_TRUE(sim::PushRemoteMatchFeedback(MatchResult(kId)));
  const CaptureResponse result = Post("/frame/match", CaptureHeaders(kId, {kRemoteCaller}));
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.body, MatchResultDocument(kId, false));

  EXPECT_EQ(Post("/frame/match", CaptureHeaders(kOtherId, {kRemoteCaller})).body,
            MatchResultDocument(kOtherId, false));
  const std::size_t startsBefore = sim::CallCount("RemoteMatch");
  Post("/frame/match", CaptureHeaders(kId, {kRemoteCaller}));
  EXPECT_EQ(sim::CallCount("RemoteMatch"), startsBefore);
  EXPECT_EQ(sim::CallCount("StartRemoteBiometricData"), 1u);
}

TEST_F(CaptureMatchTest, PreviewFrameCarriesLivenessAndHonoursTheStreamType) {
  Post("/frame/match", CaptureHeaders(kId, {kRemoteCaller}));
  PushFrame(1);
  EXPECT_EQ(Post("/frame/match", CaptureHeaders(kId, {kRemoteCaller, "StreamType: COORDS"})).body,
            MatchFrameDocument(1, sdk::BLINK, false));
  PushFrame(2);
  EXPECT_EQ(Post("/frame/match", CaptureHeaders(kId, {kRemoteCaller})).body,
            MatchFrameDocument(2, sdk::BLINK, true));
}

struct CallerCase {
  const char* name;
  std::vector<std::string> lines;
  const char* callerKind;
};

class CaptureHybridCallerTest : public CaptureTest,
                                public ::testing::WithParamInterface<CallerCase> {};

TEST_P(CaptureHybridCallerTest, EveryCallerButRemotePsiStartsTheLocalMatch) {
  const std::string body = R"({"userData":{"email":"a@b.c"}})";
  Post("/frame/match", CaptureHeaders(kId, GetParam().lines), body);

  EXPECT_EQ(sim::CallCount("RemoteMatch"), 0u);
  EXPECT_EQ(LastArgs("LocalMatch"), (std::vector<std::string>{"set", "set", "1", body, kId, "a@b.c",
                                                              GetParam().callerKind}));
}

INSTANTIATE_TEST_SUITE_P(Callers, CaptureHybridCallerTest,
                         ::testing::Values(CallerCase{"Remote", {"Caller: REMOTE"}, "2"},
                                           CallerCase{"Hybrid", {"Caller: HYBRID"}, "3"},
                                           CallerCase{"Local", {"Caller: LOCAL"}, "1"},
                                           CallerCase{"None", {}, "2"}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(CaptureMatchTest, IdTokenSelectsTryLocalMatchAndEndsWithItsHeaderLine) {
  Post("/frame/match", CaptureHeaders(kId, {"x-idToken: tok-123", "Caller: HYBRID"}));

  EXPECT_EQ(sim::CallCount("LocalMatch"), 0u);
  const std::vector<std::string> args = LastArgs("TryLocalMatch");
  ASSERT_EQ(args.size(), 8u);
  EXPECT_EQ(args[6], "3");
  EXPECT_EQ(args[7], "tok-123");
}

TEST_F(CaptureMatchTest, HybridResultEndsTheSessionAndStopsTheCapture) {
  Post("/frame/match", CaptureHeaders(kId));
  sdk::SDK_EnrollmentFeedback progress;
  progress.code = 9;
  progress.description = "Hold still";
  ASSERT_TRUE(sim::PushEnrollmentFeedback(progress));
  EXPECT_EQ(Post("/frame/match", CaptureHeaders(kId)).body, MatchFeedbackDocument(9, "Hold still"));

  ASSERT_TRUE(sim::PushHybridMatchFeedback(MatchResult(kId)));
  const CaptureResponse result = Post("/frame/match", CaptureHeaders(kId));
  EXPECT_EQ(result.status, 200);
  EXPECT_EQ(result.body, MatchResultDocument(kId, true));
  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 1u);
  EXPECT_EQ(Stop(kId).body, CaptureError(0, 1, "Frames Already Stopped"));

  Post("/frame/match", CaptureHeaders(kOtherId));
  EXPECT_EQ(sim::CallCount("StartRemoteBiometricData"), 2u);
  EXPECT_EQ(sim::CallCount("LocalMatch"), 2u);
}

TEST_F(CaptureMatchTest, TryMatchWithoutIdTokenAnswers500AndStartsNothing) {
  const CaptureResponse response = Post("/frame/trymatch", CaptureHeaders(kId));

  EXPECT_EQ(response.status, 500);
  EXPECT_EQ(response.body, CaptureError(0, 3, "Invalid IdToken"));
  EXPECT_EQ(sim::CallCount("StartRemoteBiometricData"), 0u);
  EXPECT_EQ(sim::CallCount("LocalMatch") + sim::CallCount("TryLocalMatch"), 0u);

  EXPECT_EQ(Post("/frame/trymatch", CaptureHeaders(kId, {"x-idToken: tok"})).status, 200);
  EXPECT_EQ(sim::CallCount("TryLocalMatch"), 1u);
}

TEST_F(CaptureMatchTest, TryMatchWithoutIdTokenLeavesTheRunningSessionAlone) {
  Post("/frame/match", CaptureHeaders(kId));

  EXPECT_EQ(Post("/frame/trymatch", CaptureHeaders(kOtherId)).body,
            CaptureError(0, 3, "Invalid IdToken"));

  EXPECT_EQ(Stop(kOtherId).body, CaptureError(0, 1, "Frames Already Stopped"));
  EXPECT_EQ(Stop(kId).body, "{}");
  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 1u);
}

TEST_F(CaptureMatchTest, TryMatchWithoutIdTokenIsNoActivityForTheDisplayTimeOut) {
  // The first call spends 3 s of its own; 3 s more without an accepted
  // request and the next frame fires the time-out.
  Post("/frame/match", CaptureHeaders(kId));
  Post("/frame/trymatch", CaptureHeaders(kId));
  clock->AdvanceMs(3000);

  PushFrame(1);

  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 1u);
}

TEST_F(CaptureMatchTest, AddDeviceUsesLivenessOneAndPreviewZeroByDefault) {
  const std::string body = R"({"userData":{"oTransId":"trans-1","email":"a@b.c"}})";
  Post("/frame/adddevice", CaptureHeaders(kId, {"PreviewType: DOTS"}), body);

  EXPECT_EQ(LastArgs("StartRemoteBiometricData"), (std::vector<std::string>{"set", "0"}));
  EXPECT_EQ(LastArgs("AddDeviceMatch"),
            (std::vector<std::string>{"set", "set", "1", body, kId, "a@b.c", "trans-1"}));
}

TEST_F(CaptureMatchTest, AddDeviceTakesTheLivenessHeader) {
  Post("/frame/adddevice", CaptureHeaders(kId, {"Liveness: PASSIVE"}));

  EXPECT_EQ(LastArgs("AddDeviceMatch").at(2), "3");
}

TEST_F(CaptureMatchTest, AddDeviceResultIsAnsweredOnceAndStartsNothingMore) {
  SetLivenessSetting("2");
  Post("/frame/adddevice", CaptureHeaders(kId, {"StreamType: COORDS"}));
  PushFrame(1);
  // Always the image, with the liveness setting read now.
  EXPECT_EQ(Post("/frame/adddevice", CaptureHeaders(kId, {"StreamType: COORDS"})).body,
            MatchFrameDocument(1, sdk::BLINK_STRICT, true));

  ASSERT_TRUE(sim::PushHybridMatchFeedback(MatchResult(kId)));
  EXPECT_EQ(Post("/frame/adddevice", CaptureHeaders(kId)).body, MatchResultDocument(kId, false));

  PushFrame(2);
  EXPECT_EQ(Post("/frame/adddevice", CaptureHeaders(kId)).body,
            MatchFrameDocument(2, sdk::BLINK_STRICT, true));
  EXPECT_EQ(Post("/frame/adddevice", CaptureHeaders(kId)).body, kNothingYet);
  EXPECT_EQ(sim::CallCount("AddDeviceMatch"), 1u);
  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 0u);
}

struct FailureCase {
  const char* name;
  const char* path;
  std::vector<std::string> lines;
  std::vector<std::pair<std::string, std::vector<int>>> results;
  int requestsBefore;  // requests sent before the failing one
  int code;
  std::string operation;
  const char* retried;  // operation tried three times by the failing request, or null
};

class CaptureFailureTest : public CaptureTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(CaptureFailureTest, EngineFailureIsAnsweredWithItsDocument) {
  const FailureCase& test = GetParam();
  for (const auto& [operation, codes] : test.results) {
    ASSERT_TRUE(sim::SetResults(operation, codes));
  }
  for (int request = 0; request < test.requestsBefore; ++request) {
    Post(test.path, CaptureHeaders(kId, test.lines));
  }
  const std::size_t triesBefore = test.retried != nullptr ? sim::CallCount(test.retried) : 0;

  const CaptureResponse response = Post(test.path, CaptureHeaders(kId, test.lines));

  EXPECT_EQ(response.status, 500);
  EXPECT_EQ(response.body, EngineError(test.code, test.operation));
  if (test.retried != nullptr) {
    EXPECT_EQ(sim::CallCount(test.retried) - triesBefore, 3u);
    const std::vector<int> sleeps = Sleeps();
    EXPECT_EQ(std::count(sleeps.begin(), sleeps.end(), 100), 3);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureFailureTest,
    ::testing::Values(FailureCase{"RemoteCapture",
                                  "/frame/match",
                                  {kRemoteCaller},
                                  {{"StartRemoteBiometricData", {31}}},
                                  0,
                                  31,
                                  "RemoteBiometricData",
                                  nullptr},
                      FailureCase{"HybridCapture",
                                  "/frame/match",
                                  {},
                                  {{"StartRemoteBiometricData", {31}}},
                                  0,
                                  31,
                                  "PostMatchFrames - HybridMatch - RemoteBiometricData",
                                  nullptr},
                      FailureCase{"AddDeviceCapture",
                                  "/frame/adddevice",
                                  {},
                                  {{"StartRemoteBiometricData", {31}}},
                                  0,
                                  31,
                                  "PostAddDevice - RemoteBiometricData",
                                  nullptr},
                      FailureCase{"RemoteFirstMatch",
                                  "/frame/match",
                                  {kRemoteCaller},
                                  {{"RemoteMatch", {12}}},
                                  0,
                                  12,
                                  "RemoteMatch",
                                  nullptr},
                      FailureCase{"HybridFirstMatch",
                                  "/frame/match",
                                  {},
                                  {{"LocalMatch", {12}}},
                                  0,
                                  12,
                                  "PostMatchFrames - HybridMatch",
                                  nullptr},
                      FailureCase{"AddDeviceFirstMatch",
                                  "/frame/adddevice",
                                  {},
                                  {{"AddDeviceMatch", {12}}},
                                  0,
                                  12,
                                  "PostAddDevice -",
                                  nullptr},
                      FailureCase{"RemoteRetries",
                                  "/frame/match",
                                  {kRemoteCaller},
                                  {{"RemoteMatch", {0, 13}}},
                                  1,
                                  13,
                                  "RemoteMatch",
                                  "RemoteMatch"},
                      // A failed capture start records no attempt: the next poll restarts.
                      FailureCase{"HybridRetries",
                                  "/frame/match",
                                  {},
                                  {{"StartRemoteBiometricData", {31}}, {"LocalMatch", {13}}},
                                  1,
                                  13,
                                  "HybridMatch",
                                  "LocalMatch"},
                      FailureCase{"AddDeviceRetries",
                                  "/frame/adddevice",
                                  {},
                                  {{"StartRemoteBiometricData", {31}}, {"AddDeviceMatch", {13}}},
                                  1,
                                  13,
                                  "PostAddDevice",
                                  "AddDeviceMatch"}),
    [](const auto& info) { return std::string(info.param.name); });

struct ListenerErrorCase {
  const char* name;
  const char* path;
  std::vector<std::string> lines;
  sim::Listener target;
  unsigned short status;
};

class CaptureListenerErrorTest : public CaptureTest,
                                 public ::testing::WithParamInterface<ListenerErrorCase> {};

TEST_P(CaptureListenerErrorTest, FrameErrorsAnswer500AndOtherErrors200) {
  const ListenerErrorCase& test = GetParam();
  Post(test.path, CaptureHeaders(kId, test.lines));
  const sdk::SDK_ERROR error = EngineEvent(2, 1234, "engine trouble");
  ASSERT_TRUE(sim::PushError(test.target, error));

  const CaptureResponse response = Post(test.path, CaptureHeaders(kId, test.lines));

  EXPECT_EQ(response.status, test.status);
  EXPECT_EQ(response.body, test.status == 500
                               ? CaptureError(2, 1234, "engine trouble")
                               : MatchFeedbackDocumentOfError(1234, "engine trouble"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CaptureListenerErrorTest,
    ::testing::Values(
        ListenerErrorCase{
            "RemoteFrame", "/frame/match", {kRemoteCaller}, sim::Listener::Frame, 500},
        ListenerErrorCase{
            "RemoteMatch", "/frame/match", {kRemoteCaller}, sim::Listener::RemoteMatch, 200},
        ListenerErrorCase{"HybridFrame", "/frame/match", {}, sim::Listener::Frame, 500},
        ListenerErrorCase{"HybridEnroll", "/frame/match", {}, sim::Listener::Enroll, 200},
        ListenerErrorCase{"HybridResult", "/frame/match", {}, sim::Listener::HybridMatch, 200},
        ListenerErrorCase{"AddDeviceFrame", "/frame/adddevice", {}, sim::Listener::Frame, 500},
        ListenerErrorCase{"AddDeviceEnroll", "/frame/adddevice", {}, sim::Listener::Enroll, 200},
        ListenerErrorCase{
            "AddDeviceResult", "/frame/adddevice", {}, sim::Listener::HybridMatch, 200}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace corvane::larchmere::plugin::test
