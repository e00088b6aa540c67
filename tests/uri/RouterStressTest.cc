// Many host threads through one router while the engine streams frames, a
// capture is started and stopped, and the camera is flagged invalid now and
// then. Runs under ThreadSanitizer; fails instead of hanging.
#include <json/json.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "plugin/common/CaptureLock.h"
#include "plugin/common/JsonText.h"
#include "support/Watchdog.h"
#include "uri/UriTestSupport.h"

namespace corvane::larchmere::plugin::uri::test {
namespace {

using namespace std::chrono_literals;

constexpr auto kDeadline = 120s;

bool IsOneJsonDocument(const std::string& body) {
  Json::Value parsed;
  return common::ParseLenientJson(body, parsed);
}

struct StressRequest {
  const char* method;
  const char* path;
  const char* body;
  bool withId;
};

const StressRequest kMix[] = {
    {"OPTIONS", "/frame/match", "", false},
    {"GET", "/status/deviceid", "", false},
    {"GET", "/status/qav", "", false},
    {"GET", "/devices/video", "", false},
    {"GET", "/camera/status", "", false},
    {"POST", "/devices/video", R"({"name":"Keystead Virtual Camera"})", false},
    {"POST", "/frame/enrollment", "{}", true},
    {"POST", "/frame/match", "{}", true},
    {"POST", "/frame/trymatch", "{}", true},
    {"POST", "/frame/enrollment", "{}", false},
    {"GET", "/nowhere", "", false},
    {"options", "/status/qav", "", false},
};

class RouterStressTest : public RouterTest {
 protected:
  void SetUp() override {
    RouterTest::SetUp();
    sim::Configure([](sim::Config& config) {
      config.camera = sim::CameraSettings{16, 12, 3, 500, true};
    });
  }
};

TEST_F(RouterStressTest, MixedRequestsWhileCapturingStayAnsweredAndConsistent) {
  std::atomic<bool> stop{false};
  std::atomic<int> badAnswers{0};
  std::vector<std::future<void>> tasks;

  constexpr int kRequestThreads = 6;
  constexpr int kRequestsPerThread = 150;
  for (int thread = 0; thread < kRequestThreads; ++thread) {
    tasks.push_back(std::async(std::launch::async, [&, thread] {
      const std::string id = "QCID" + std::string(35, 'a') + std::to_string(thread % 2) + "QCID";
      for (int i = 0; i < kRequestsPerThread; ++i) {
        const StressRequest& request = kMix[(i + thread) % std::size(kMix)];
        const std::string headers = request.withId ? HeadersWithId(id) : kJsonHeaders;
        const Response response = Send(request.method, request.path, headers, request.body);
        const bool knownStatus =
            response.status == 200 || response.status == 400 || response.status == 500;
        const bool untouched = response.status == 200 && response.body.empty();
        if (!knownStatus || (!untouched && !IsOneJsonDocument(response.body))) ++badAnswers;
      }
    }));
  }
  // Starts and stops the capture the way the frame endpoints do.
  tasks.push_back(std::async(std::launch::async, [&] {
    common::FrameSessionState& state = holder->State();
    while (!stop) {
      {
        common::CaptureLock capture(state);
        if (!state.IsStarted() &&
            engine->StartRemoteBiometricData(&holder->FrameListener(), 0) == 0) {
          state.BeginSession(clock->WallClockWholeSecondsMs());
        }
      }
      std::this_thread::sleep_for(2ms);
      {
        common::CaptureLock capture(state);
        engine->StopRemoteBiometricData();
        holder->ResetCaptureSession(common::StoredFramesPolicy::kKeep);
      }
    }
  }));
  // Now and then the camera goes bad, which the next capture request repairs.
  tasks.push_back(std::async(std::launch::async, [&] {
    sdk::SDK_ERROR cameraError;
    cameraError.source = 4;
    cameraError.code = 0x1601;
    while (!stop) {
      sim::PushError(sim::Listener::Frame, cameraError);
      std::this_thread::sleep_for(5ms);
    }
  }));

  std::vector<std::future<void>> requestTasks;
  for (int i = 0; i < kRequestThreads; ++i) requestTasks.push_back(std::move(tasks[i]));
  keystead::test_support::AwaitAllOrAbort(requestTasks, "a request thread", kDeadline);
  stop = true;
  std::vector<std::future<void>> helpers;
  for (std::size_t i = kRequestThreads; i < tasks.size(); ++i)
    helpers.push_back(std::move(tasks[i]));
  keystead::test_support::AwaitAllOrAbort(helpers, "a helper thread", kDeadline);

  EXPECT_EQ(badAnswers.load(), 0);
  {
    common::CaptureLock capture(holder->State());
    engine->StopRemoteBiometricData();
  }
  EXPECT_GT(sim::CallCount("StartRemoteBiometricData"), 0u);
}

}  // namespace
}  // namespace corvane::larchmere::plugin::uri::test
