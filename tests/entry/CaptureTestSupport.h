#pragma once

#include <gtest/gtest.h>
#include <json/json.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "engine-sim/SimControl.h"
#include "plugin/entry/KeysteadPlugin.h"
#include "plugin/entry/PluginTestHooks.h"
#include "support/Watchdog.h"
#include "tests/common/ManualClock.h"
#include "tests/entry/EntryTestSupport.h"

// Drives the face-capture endpoints through the plug-in's C exports, with the
// stand-in engine behind them and a manual clock in the plug-in: the polls'
// waits and the pauses take no real time, and time-outs are reached by moving
// the clock. Builds on the entry tests' fixture and private folders.
namespace corvane::larchmere::plugin::test {

namespace sim = keystead::sim;
namespace sdk = Corvane::QAV::SDK;

// Longest real wait for anything a test started; past it the test fails.
inline constexpr std::chrono::seconds kCaptureWaitLimit{30};

// What the plug-in answers when a poll found nothing to show.
inline constexpr char kNothingYet[] = "{}";

struct CaptureResponse {
  unsigned short status = 0;
  std::string body;
};

// A 44-character correlation id, distinct for each number.
inline std::string CaptureId(int number) {
  char text[48];
  std::snprintf(text, sizeof text, "QCID%08d-0000-4000-8000-000000000000QCID", number);
  return text;
}

// A request header block; `extraLines` are further "Name: value" lines.
inline std::string CaptureHeaders(const std::string& correlationId,
                                  const std::vector<std::string>& extraLines = {}) {
  std::string headers =
      "Content-Type: application/json\r\nQ-Correlation-Id: " + correlationId + "\r\n";
  for (const std::string& line : extraLines) {
    headers += line + "\r\n";
  }
  return headers;
}

inline std::string CaptureError(int source, int code, const std::string& description) {
  return entry::test::ErrorDocument(source, code, description);
}

// The plug-in's capture documents, written out by hand with JsonCpp's sorted
// keys; texts must need no JSON escaping.
inline std::string EnrollFeedbackDocument(int code, const std::string& description) {
  return R"({"data":{"feedback":{"code":)" + std::to_string(code) + R"(,"description":")" +
         description + R"("},"processed":false}})" + "\n";
}

// A match feedback with a code of no special meaning (not 32 or 46).
inline std::string MatchFeedbackDocument(int code, const std::string& description) {
  return R"({"blink":false,"feedback":{"code":)" + std::to_string(code) + R"(,"description":")" +
         description + R"("},"localMatchStatus":false,"matchStatus":false,"nextStep":""})" + "\n";
}

// The feedback document of an engine error record (no cloud error, no
// template count, no liveness).
inline std::string MatchFeedbackDocumentOfError(int code, const std::string& description) {
  return R"({"blink":false,"cloudError":"","feedback":{"code":)" + std::to_string(code) +
         R"(,"description":")" + description +
         R"("},"liveness":"","localMatchStatus":false,"matchStatus":false,"nextStep":"",)"
         R"("templateCount":0})" +
         "\n";
}

// The document of MatchResult(correlationId).
inline std::string MatchResultDocument(const std::string& correlationId, bool stopped) {
  return R"({"altNextStep":0,"authCode":"","blink":false,"cloudError":"","cloudKey":"",)"
         R"("idToken":"token-of-)" +
         correlationId.substr(4, 8) +
         R"(","isTrustedDevice":false,"liveness":"","localMatchStatus":false,"matchStatus":true,)"
         R"("nextStep":2,"nextStepData":{"oobDevices":[],"verificationEmail":""},"redirectUri":"",)"
         R"("state":"","stopped":)" +
         (stopped ? "true" : "false") + R"(,"templateCount":0})" + "\n";
}

inline std::string EngineError(int code, const std::string& operation) {
  return CaptureError(4, code, operation + " Communication Error with QAVService");
}

// A small preview frame, so that documents stay short.
inline sdk::SDK_Frame SmallFrame(std::uint64_t index) {
  sim::CameraSettings settings;
  settings.width = 4;
  settings.height = 3;
  return sim::MakeFrame(settings, index);
}

inline sdk::SDK_ERROR EngineEvent(int source, int code, const std::string& description) {
  sdk::SDK_ERROR error;
  error.source = source;
  error.code = code;
  error.description = description;
  return error;
}

inline sdk::SDK_RemoteMatchFeedback MatchResult(const std::string& correlationId,
                                                bool matchStatus = true) {
  sdk::SDK_RemoteMatchFeedback result;
  result.matchStatus = matchStatus;
  result.nextStep = 2;
  result.idToken = "token-of-" + correlationId.substr(4, 8);
  result.correlationId = correlationId;
  return result;
}

// The value of `future`, or an ended test run when it does not come within
// kCaptureWaitLimit: a deadlock must not hang the suite.
template <typename T>
T AwaitOrAbort(std::future<T>& future, const char* what) {
  return keystead::test_support::AwaitOrAbort(future, what, kCaptureWaitLimit);
}

// A one-shot signal between threads, waited for with the test's limit.
class Signal {
 public:
  void Raise() {
    {
      std::scoped_lock lock(mutex_);
      raised_ = true;
    }
    changed_.notify_all();
  }
  bool Wait() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kCaptureWaitLimit, [this] { return raised_; });
  }
  bool IsRaised() {
    std::scoped_lock lock(mutex_);
    return raised_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool raised_ = false;
};

// The entry tests' plug-in fixture, initialised on a manual clock for every
// test. The engine delivers nothing by itself: frames, feedback, results and
// errors are pushed by the tests, on the engine's own threads.
class CaptureTest : public entry::test::PluginTest {
 protected:
  void SetUp() override {
    clock = std::make_shared<ManualClock>();
    keystead::test_hooks::SetPluginClock(clock);
    entry::test::PluginTest::SetUp();
    ASSERT_TRUE(Start());
    sim::ClearCalls();
  }

  void TearDown() override {
    clock->SetSleepHook(nullptr);
    clock->SetWaitHook(nullptr);
    entry::test::PluginTest::TearDown();
    keystead::test_hooks::SetPluginClock(nullptr);
  }

  // One POST through the exports, started with status 0 as the reference
  // host does.
  static CaptureResponse Post(const std::string& path, const std::string& headers,
                              const std::string& body = "{}") {
    const std::string url = entry::test::Url(path);
    const entry::test::Answer answer = entry::test::Request(
        "POST", url.c_str(), headers.c_str(), body.c_str(), static_cast<int>(body.size()), 0);
    return CaptureResponse{answer.status, answer.body};
  }

  static std::future<CaptureResponse> PostAsync(std::string path, std::string headers,
                                                std::string body = "{}") {
    return std::async(std::launch::async,
                      [path = std::move(path), headers = std::move(headers),
                       body = std::move(body)] { return Post(path, headers, body); });
  }

  static CaptureResponse Stop(const std::string& correlationId) {
    return Post("/frame/stop", CaptureHeaders(correlationId));
  }

  // Pushes a frame and fails the test when no capture took it.
  static void PushFrame(std::uint64_t index) { ASSERT_TRUE(sim::PushFrame(SmallFrame(index))); }

  // Sleeps of the plug-in, in milliseconds, since the test began.
  std::vector<int> Sleeps() const { return clock->Sleeps(); }

  std::shared_ptr<ManualClock> clock;
};

}  // namespace corvane::larchmere::plugin::test
