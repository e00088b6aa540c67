#pragma once

#include <gtest/gtest.h>
#include <json/json.h>

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine-sim/SimControl.h"
#include "plugin/entry/KeysteadPlugin.h"
#include "tests/entry/EntryTestSupport.h"

// Drives the service endpoints through the plug-in's C exports, with the
// stand-in engine behind them; builds on the entry tests' fixture.
namespace corvane::larchmere::plugin::test {

namespace sim = keystead::sim;

inline constexpr char kJsonHeaders[] = "Content-Type: application/json\r\n";
inline constexpr char kCorrelationId[] = "QCID97c096e3-52fe-4fbd-88a6-4a16a4bcaae8QCID";

struct ServiceResponse {
  unsigned short status = 0;
  std::string headers;
  std::string body;
};

// The host side: answers revokeRat and records what it was asked.
struct ServiceHost {
  std::mutex mutex;
  bool revokeAnswer = true;
  std::vector<std::string> revoked;

  static void RegisterPath(void*, const char*) {}
  static bool RevokeRat(void* context, const char* rat) {
    auto* self = static_cast<ServiceHost*>(context);
    std::scoped_lock lock(self->mutex);
    self->revoked.emplace_back(rat);
    return self->revokeAnswer;
  }
  std::vector<std::string> Revoked() {
    std::scoped_lock lock(mutex);
    return revoked;
  }
};

inline std::string WithHeader(const std::string& line) {
  return std::string(kJsonHeaders) + line + "\r\n";
}

inline std::string CorrelationHeaders(const std::string& correlationId = kCorrelationId) {
  return WithHeader("Q-Correlation-Id: " + correlationId);
}

// The CORS block the framework writes for a request without an Origin.
inline std::string Cors(const std::string& requestHeaders) {
  return entry::test::CorsBlock(requestHeaders.c_str());
}

using entry::test::ErrorDocument;

inline std::string Compact(const Json::Value& value) { return Json::FastWriter().write(value); }

inline Json::Value ParseJson(const std::string& text) {
  Json::Value root;
  const std::unique_ptr<Json::CharReader> reader(Json::CharReaderBuilder().newCharReader());
  EXPECT_TRUE(reader->parse(text.data(), text.data() + text.size(), &root, nullptr)) << text;
  return root;
}

// The first in-arguments of every recorded call to `operation`.
inline std::vector<std::string> FirstArgs(const std::string& operation) {
  std::vector<std::string> firsts;
  for (const sim::Call& call : sim::CallsTo(operation)) {
    firsts.push_back(call.args.empty() ? std::string() : call.args.front());
  }
  return firsts;
}

// A plug-in initialised through Initialize for every test (finalised by
// PluginTest after it), with a host that answers revokeRat; the engine
// delivers no frames and starts no timelines unless a test configures them.
class ServiceTest : public entry::test::PluginTest {
 public:
  // One request through the ProcessRequest export; `contentLength` below 0
  // means the whole body.
  static ServiceResponse Send(const char* method, const std::string& path,
                              const std::string& headers = kJsonHeaders,
                              const std::string& body = "", unsigned short startStatus = 0,
                              int contentLength = -1) {
    const std::string url = entry::test::Url(path);
    const entry::test::Answer answer = entry::test::Request(
        method, url.c_str(), headers.c_str(), body.empty() ? nullptr : body.c_str(),
        contentLength < 0 ? static_cast<int>(body.size()) : contentLength, startStatus);
    return ServiceResponse{answer.status, answer.headers, answer.body};
  }

 protected:
  void SetUp() override {
    entry::test::PluginTest::SetUp();
    HostCallbacks callbacks{};
    callbacks.registerPath = &ServiceHost::RegisterPath;
    callbacks.revokeRat = &ServiceHost::RevokeRat;
    ASSERT_TRUE(Initialize(&serviceHost, &callbacks));
    sim::ClearCalls();
  }

  ServiceHost serviceHost;
};

}  // namespace corvane::larchmere::plugin::test
