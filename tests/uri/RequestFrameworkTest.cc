#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "plugin/platform/Mutex.h"
#include "plugin/uri/IAsyncRequestMethod.h"
#include "uri/UriTestSupport.h"

namespace corvane::larchmere::plugin::uri::test {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A capture handler that only records what the framework handed it.
class ProbeHandler final : public IAsyncRequestMethod {
 public:
  using IAsyncRequestMethod::IAsyncRequestMethod;

  struct Visit {
    bool timedOut;
    bool sessionStarted;
    bool deliverFrames;
  };

  bool IsMatch(const char*, const char*, const char*, int, const char*) override { return true; }
  int GetOperationType() const override { return kOperationStateless; }
  const char* GetClassName() const override { return "ProbeHandler"; }
  int Liveness() { return GetLivenessSetting(); }

  std::vector<Visit> visits;

 protected:
  bool AsyncProcessRequest(const char*, int, const char*, CaptureFlags& flags,
                           Answer& answer) override {
    visits.push_back({flags.timedOut, flags.sessionStarted, flags.deliverFrames});
    answer.status = 200;
    answer.body.append("{\"probe\":true}");
    return true;
  }
  int GetLivenessSetting() override { return ReadIntegerSetting("BCA_LIVENESS_TYPE_REMOTE_MATCH"); }
};

class RequestFrameworkTest : public RouterTest {
 protected:
  void SetUp() override {
    RouterTest::SetUp();
    probe = std::make_unique<ProbeHandler>(engine, holder.get());
  }
  void TearDown() override {
    probe.reset();
    RouterTest::TearDown();
  }

  Response Poll(const std::string& headers) {
    Response response;
    response.status = 200;
    response.result = probe->ProcessRequest(headers.c_str(), 0, nullptr, response);
    return response;
  }

  void QueueFrameError() {
    sdk::SDK_ERROR error;
    error.source = 2;
    error.code = 1;
    holder->FrameListener().OnError(error);
  }

  void FlagInvalidCamera() {
    sdk::SDK_ERROR error;
    error.source = 0;
    error.code = 0x1600;
    holder->HybridMatchListener().OnError(error);
  }

  common::FrameSessionState& State() { return holder->State(); }

  // A session bound to kCorrelationId by a first poll, with a frame error
  // queued and 3 s passed since.
  void BeginSessionWithAFrameErrorQueuedAndWait() {
    Poll(HeadersWithId(kCorrelationId));
    State().BeginSession(clock->WallClockMs());
    QueueFrameError();
    clock->AdvanceMs(3000);
  }

  std::unique_ptr<ProbeHandler> probe;
};

TEST_F(RequestFrameworkTest, RefusesAnythingButA44CharacterCorrelationId) {
  const std::string inner36(36, 'x');
  const std::pair<std::string, bool> cases[] = {
      {kJsonHeaders, false},
      {HeadersWithId(kCorrelationId), true},
      {HeadersWithId("QCID" + inner36 + "QCID"), true},
      {HeadersWithId("QCID" + inner36.substr(1) + "QCID"), false},
      {HeadersWithId("QCID" + inner36 + "xQCID"), false},
      {HeadersWithId("NOID" + inner36 + "NOID"), false},
  };
  for (const auto& [headers, accepted] : cases) {
    SCOPED_TRACE(headers);
    probe->visits.clear();
    const Response response = Poll(headers);
    EXPECT_TRUE(response.result);
    EXPECT_EQ(response.headers, CorsBlock(headers.c_str()));
    if (accepted) {
      EXPECT_EQ(response.status, 200);
      EXPECT_EQ(probe->visits.size(), 1u);
    } else {
      EXPECT_EQ(response.status, 500);
      EXPECT_EQ(response.body, ErrorDocument(0, 4, "Invalid Q-Correlation-Id"));
      EXPECT_THAT(probe->visits, IsEmpty());
    }
  }
}

TEST_F(RequestFrameworkTest, HostStartingWith500StillReachesTheHandler) {
  Response response;
  response.status = 500;
  const std::string headers = HeadersWithId(kCorrelationId);
  probe->ProcessRequest(headers.c_str(), 0, nullptr, response);
  EXPECT_EQ(probe->visits.size(), 1u);
  EXPECT_EQ(response.status, 200);
}

TEST_F(RequestFrameworkTest, FirstIdBetweenSessionsStartsFromEmptyQueuesAndFreshStopwatches) {
  QueueFrameError();
  State().AddCorrelationId("QCID-stale-id");
  State().RecordFirstMatchStart("QCID-stale-id");
  clock->AdvanceMs(3000);

  Poll(HeadersWithId(kCorrelationId));

  EXPECT_EQ(holder->FrameListener().ErrorCount(), 0u);
  EXPECT_EQ(State().CorrelationIds(), std::set<std::string>{kCorrelationId});
  EXPECT_TRUE(State().MatchAttempts().empty());
  EXPECT_EQ(holder->SessionStopwatch().ElapsedMs(), 0);
  EXPECT_EQ(holder->PollStopwatch().ElapsedMs(), 0);
  ASSERT_EQ(probe->visits.size(), 1u);
  EXPECT_FALSE(probe->visits[0].timedOut);
  EXPECT_FALSE(probe->visits[0].sessionStarted);
  EXPECT_TRUE(probe->visits[0].deliverFrames);
}

TEST_F(RequestFrameworkTest, KnownIdDuringASessionKeepsQueuesAndOnlyRestartsThePollStopwatch) {
  BeginSessionWithAFrameErrorQueuedAndWait();

  Poll(HeadersWithId(kCorrelationId));

  EXPECT_EQ(holder->FrameListener().ErrorCount(), 1u);
  EXPECT_EQ(holder->SessionStopwatch().ElapsedMs(), 3000);
  EXPECT_EQ(holder->PollStopwatch().ElapsedMs(), 0);
  ASSERT_EQ(probe->visits.size(), 2u);
  EXPECT_TRUE(probe->visits[1].sessionStarted);
}

TEST_F(RequestFrameworkTest, NewIdDuringASessionJoinsItAndRestartsTheSessionStopwatch) {
  BeginSessionWithAFrameErrorQueuedAndWait();
  const std::string otherId = "QCID" + std::string(36, '7') + "QCID";

  Poll(HeadersWithId(otherId));

  EXPECT_EQ(holder->FrameListener().ErrorCount(), 1u);
  EXPECT_EQ(State().CorrelationIds(), (std::set<std::string>{kCorrelationId, otherId}));
  EXPECT_EQ(holder->SessionStopwatch().ElapsedMs(), 0);
}

TEST_F(RequestFrameworkTest, DuringTheTimeOutCleanUpNothingIsBoundOrRestarted) {
  State().SetTimeOutInProgress(true);
  QueueFrameError();
  clock->AdvanceMs(3000);

  Poll(HeadersWithId(kCorrelationId));

  ASSERT_EQ(probe->visits.size(), 1u);
  EXPECT_TRUE(probe->visits[0].timedOut);
  EXPECT_FALSE(probe->visits[0].sessionStarted);
  EXPECT_THAT(State().CorrelationIds(), IsEmpty());
  EXPECT_EQ(holder->FrameListener().ErrorCount(), 1u);
  EXPECT_EQ(holder->SessionStopwatch().ElapsedMs(), 3000);
  EXPECT_EQ(holder->PollStopwatch().ElapsedMs(), 3000);
}

TEST_F(RequestFrameworkTest, InvalidCameraStopsTheCaptureAndResetsTheSession) {
  State().BeginSession(clock->WallClockMs());
  State().SetOperationStarted(true);
  State().AddCorrelationId("QCID-previous-session");
  State().StoreProcessedFrames("{\"kept\":true}");
  FlagInvalidCamera();
  bool captureLockFreeWhileSleeping = false;
  clock->SetSleepHook([&](int) {
    Mutex& capture = State().CaptureMutex();
    captureLockFreeWhileSleeping = capture.try_lock();
    if (captureLockFreeWhileSleeping) capture.unlock();
  });

  Poll(HeadersWithId(kCorrelationId));

  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 1u);
  EXPECT_THAT(clock->Sleeps(), ElementsAre(500));
  EXPECT_TRUE(captureLockFreeWhileSleeping);
  EXPECT_FALSE(holder->IsInvalidCamera());
  EXPECT_FALSE(State().IsStarted());
  EXPECT_FALSE(State().IsOperationStarted());
  EXPECT_EQ(State().CorrelationIds(), std::set<std::string>{kCorrelationId});
  EXPECT_EQ(State().StoredProcessedFrames(), "{\"kept\":true}");
  ASSERT_EQ(probe->visits.size(), 1u);
  EXPECT_FALSE(probe->visits[0].sessionStarted);
}

TEST_F(RequestFrameworkTest, FailedStopLeavesTheCameraFlagAndStillRunsTheHandler) {
  State().BeginSession(clock->WallClockMs());
  FlagInvalidCamera();
  sim::SetResult("StopRemoteBiometricData", 31);

  Poll(HeadersWithId(kCorrelationId));

  EXPECT_TRUE(holder->IsInvalidCamera());
  EXPECT_TRUE(State().IsStarted());
  EXPECT_THAT(clock->Sleeps(), IsEmpty());
  ASSERT_EQ(probe->visits.size(), 1u);
  EXPECT_TRUE(probe->visits[0].sessionStarted);
}

TEST_F(RequestFrameworkTest, LivenessSettingIsReadAsDecimalOrZero) {
  const std::pair<const char*, int> cases[] = {{"2", 2}, {" 3", 3}, {"x1", 0}, {"", 0}};
  for (const auto& [value, liveness] : cases) {
    SCOPED_TRACE(value);
    sim::Configure([value = value](sim::Config& config) {
      config.settings["BCA_LIVENESS_TYPE_REMOTE_MATCH"].value = value;
    });
    EXPECT_EQ(probe->Liveness(), liveness);
  }
  sim::Configure([](sim::Config& config) { config.settings.clear(); });
  EXPECT_EQ(probe->Liveness(), 0);
}

TEST_F(RequestFrameworkTest, SynchronousRequestsNeedNoIdAndKeepARunningSessionAlive) {
  clock->AdvanceMs(4000);
  EXPECT_EQ(Send("GET", "/status/deviceid").status, 200);
  EXPECT_EQ(holder->PollStopwatch().ElapsedMs(), 4000);  // no session: untouched

  State().BeginSession(clock->WallClockMs());
  Send("GET", "/status/deviceid");
  EXPECT_EQ(holder->PollStopwatch().ElapsedMs(), 0);
  EXPECT_EQ(holder->SessionStopwatch().ElapsedMs(), 0);
}

}  // namespace
}  // namespace corvane::larchmere::plugin::uri::test
