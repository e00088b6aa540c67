// Host threads calling the exports at once, while the plug-in is finalised
// and initialised again underneath them. Runs under ThreadSanitizer; fails
// instead of hanging.
#include <json/json.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <vector>

#include "entry/EntryTestSupport.h"
#include "os/named_event.h"
#include "support/Watchdog.h"

namespace corvane::larchmere::plugin::entry::test {
namespace {

using namespace std::chrono_literals;

constexpr auto kDeadline = 120s;

// Error code of an error document; -1 when the body is no error document.
int ErrorCode(const std::string& body) {
  Json::Value parsed;
  const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  if (!reader->parse(body.data(), body.data() + body.size(), &parsed, nullptr) ||
      !parsed.isObject() || !parsed.isMember("error")) {
    return -1;
  }
  return parsed["error"]["code"].asInt();
}

class PluginStressTest : public PluginTest {};

TEST_F(PluginStressTest, RequestsRacingFinalizeAndInitializeGetAnAnswerOrError1003) {
  ASSERT_TRUE(Start());
  std::atomic<bool> stop{false};
  std::atomic<int> served{0};
  std::atomic<int> refused{0};
  std::atomic<int> wrong{0};

  std::vector<std::future<void>> requesters;
  for (int thread = 0; thread < 6; ++thread) {
    requesters.push_back(std::async(std::launch::async, [&, thread] {
      const char* paths[] = {"/status/deviceid", "/status/qav", "/camera/status", "/devices/video"};
      for (int i = 0; i < 150; ++i) {
        const Answer answer = Request("GET", paths[(i + thread) % 4]);
        if (answer.status == 200 && ErrorCode(answer.body) == -1) {
          ++served;
        } else if (answer.status == 500 && ErrorCode(answer.body) == 1003) {
          ++refused;
        } else {
          ++wrong;
        }
        if (i % 16 == 0) AbortRequest();
      }
    }));
  }
  std::vector<std::future<void>> lifecycle;
  lifecycle.push_back(std::async(std::launch::async, [&] {
    while (!stop) {
      Finalize();
      const HostCallbacks callbacks = host.Callbacks();
      Initialize(host.Context(), &callbacks);
      std::this_thread::sleep_for(1ms);
    }
  }));

  keystead::test_support::AwaitAllOrAbort(requesters, "a request thread", kDeadline);
  stop = true;
  keystead::test_support::AwaitAllOrAbort(lifecycle, "the start and stop thread", kDeadline);
  EXPECT_EQ(wrong.load(), 0);
  EXPECT_EQ(served + refused, 900);
  keystead::os::NamedEvent::Remove("STOP_FP_EVENT");
}

class PluginConcurrencyTest : public PluginTest {};

TEST_F(PluginConcurrencyTest, ConcurrentRetriesOfAFailedStartCreateOneRouter) {
  sim::SetResults("Initialize", {7, 0});
  ASSERT_FALSE(Start());
  std::vector<std::future<Answer>> answers;
  for (int thread = 0; thread < 8; ++thread) {
    answers.push_back(
        std::async(std::launch::async, [] { return Request("GET", "/status/deviceid"); }));
  }
  for (std::future<Answer>& answer : answers) {
    ASSERT_EQ(answer.wait_for(kDeadline), std::future_status::ready);
    const Answer result = answer.get();
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.body, "{\"status\":1}\n");
  }
  EXPECT_EQ(sim::CallCount("Initialize"), 2u);
  // One router, hence one set of handlers announced the domain suffix at most once.
  Request("GET", "/devices/video");
  int suffixes = 0;
  for (const std::string& text : host.Registered()) {
    if (text.starts_with("KS_CSP_DOMAIN_SUFIX")) ++suffixes;
  }
  EXPECT_EQ(suffixes, 1);
}

}  // namespace
}  // namespace corvane::larchmere::plugin::entry::test
