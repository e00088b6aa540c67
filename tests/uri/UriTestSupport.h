#pragma once

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/ManualClock.h"
#include "engine-sim/SimControl.h"
#include "plugin/common/Clock.h"
#include "plugin/common/LMListenerHolder.h"
#include "plugin/common/LarchmerePluginHelper.h"
#include "plugin/entry/KeysteadPlugin.h"
#include "plugin/sdk/FaceLogin.h"
#include "plugin/uri/Answer.h"
#include "plugin/uri/URIContext.h"

namespace corvane::larchmere::plugin::uri::test {

namespace sim = keystead::sim;
namespace sdk = Corvane::QAV::SDK;
using common::LarchmerePluginHelper;

inline constexpr char kJsonHeaders[] =
    "Content-Type: application/json\r\nOrigin: https://app.keystead.com\r\n";
inline constexpr char kCorrelationId[] = "QCID97c096e3-52fe-4fbd-88a6-4a16a4bcaae8QCID";

inline std::string Url(const std::string& path) { return "http://localhost:8080/q/v1" + path; }

inline std::string HeadersWithId(const std::string& correlationId) {
  return std::string(kJsonHeaders) + "Q-Correlation-Id: " + correlationId + "\r\n";
}

inline std::string ErrorDocument(int source, int code, const std::string& description) {
  return LarchmerePluginHelper::CreateJsonErrorResponse(source, code, description);
}

inline std::string CorsBlock(const char* requestHeaders,
                             const std::optional<std::string>& suffix = std::nullopt) {
  std::string block;
  LarchmerePluginHelper::BuildHeader(requestHeaders, suffix, block);
  return block;
}

// The tests' manual clock, shared with the listener tests.
using plugin::test::ManualClock;

// What the host was told through registerPath.
struct Registrations {
  std::mutex mutex;
  std::vector<std::string> texts;

  static void Record(void* context, const char* text) {
    auto* self = static_cast<Registrations*>(context);
    std::scoped_lock lock(self->mutex);
    self->texts.emplace_back(text);
  }
  void Clear() {
    std::scoped_lock lock(mutex);
    texts.clear();
  }
  std::vector<std::string> Texts() {
    std::scoped_lock lock(mutex);
    return texts;
  }
};

// An answer and the result that came with it.
struct Response : Answer {
  bool result = false;
};

// One request through `router`, the status starting at `startStatus`.
inline Response SendTo(URIContext& router, const char* method, const std::string& path,
                       const std::string& headers = kJsonHeaders, const std::string& body = "",
                       unsigned short startStatus = 200) {
  Response response;
  response.status = startStatus;
  const std::string url = Url(path);
  response.result = router.ProcessRequest(
      method, url.c_str(), headers.c_str(), static_cast<int>(body.size()),
      body.empty() ? nullptr : body.c_str(), response.status, response.headers, response.body);
  return response;
}

// A fresh stand-in engine (no frames unless pushed), a holder on a manual
// clock and a router that reports to `registrations`.
class RouterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    sim::Reset();
    registrations.Clear();
    sim::Configure([](sim::Config& config) {
      config.camera.autoFrames = false;
      config.autoTimelines = false;
    });
    engine = CreateFaceLogin();
    ASSERT_NE(engine, nullptr);
    holder = std::make_unique<common::LMListenerHolder>(engine, clock);
    HostCallbacks callbacks{};
    callbacks.registerPath = &Registrations::Record;
    router = std::make_unique<URIContext>(engine, holder.get(), &registrations, callbacks);
    sim::ClearCalls();
  }

  void TearDown() override {
    router.reset();
    holder.reset();
    engine.reset();
    sim::Reset();
  }

  Response Send(const char* method, const std::string& path,
                const std::string& headers = kJsonHeaders, const std::string& body = "",
                unsigned short startStatus = 200) {
    return SendTo(*router, method, path, headers, body, startStatus);
  }

  Registrations registrations;
  std::shared_ptr<ManualClock> clock = std::make_shared<ManualClock>();
  std::shared_ptr<sdk::FaceLogin> engine;
  std::unique_ptr<common::LMListenerHolder> holder;
  std::unique_ptr<URIContext> router;
};

}  // namespace corvane::larchmere::plugin::uri::test
