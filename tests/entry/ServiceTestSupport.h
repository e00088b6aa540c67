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

using entry::test::CorsBlock;

using entry::test::ErrorDocument;

inline std::string Compact(const Json::Value& value) { return Json::FastWriter().write(value); }

using entry::test::ParseJson;

// The first in-arguments of every recorded call to `operation`.
inline std::vector<std::string> FirstArgs(const std::string& operation) {
  std::vector<std::string> firsts;
  for (const sim::Call& call : sim::CallsTo(operation)) {
    firsts.push_back(call.args.empty() ? std::string() : call.args.front());
  }
  return firsts;
}

// The in-arguments of every recorded call to `operation`, in order.
inline std::vector<std::vector<std::string>> CallArgs(const std::string& operation) {
  std::vector<std::vector<std::string>> calls;
  for (const sim::Call& call : sim::CallsTo(operation)) calls.push_back(call.args);
  return calls;
}

// Makes the engine's `operation` return `result`; 0 leaves it succeeding.
inline void SetEngineResult(const std::string& operation, int result) {
  if (result != 0) sim::SetResult(operation, result);
}

// `body` is `expectedBody`, or for an empty `expectedBody` an error document
// with code 3 (whose description the tests do not pin).
inline void ExpectBodyOrErrorCode3(const std::string& body, const std::string& expectedBody) {
  if (expectedBody.empty()) {
    EXPECT_EQ(ParseJson(body)["error"]["code"].asInt(), 3) << body;
  } else {
    EXPECT_EQ(body, expectedBody);
  }
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

// A ServiceTest run once for each row of a table of `Case`s.
template <typename Case>
class ServiceCaseTest : public ServiceTest, public ::testing::WithParamInterface<Case> {};

// A row of the tables of the endpoints that pass a POST body on to one
// engine call.
struct EngineCallCase {
  const char* name;
  std::string body;
  int engineResult;  // what the engine call returns
  unsigned short startStatus;
  unsigned short expectedStatus;
  std::string expectedBody;  // empty: an error document with code 3
  std::vector<std::vector<std::string>> expectedCalls;
  int contentLength = -1;  // below 0: the whole body
};

// POSTs the row's body to `path`; checks the answer and the calls to `operation`.
inline void ExpectEngineCall(const EngineCallCase& test, const std::string& path,
                             const std::string& operation) {
  SetEngineResult(operation, test.engineResult);
  const ServiceResponse response = ServiceTest::Send("POST", path, kJsonHeaders, test.body,
                                                     test.startStatus, test.contentLength);
  EXPECT_EQ(response.status, test.expectedStatus);
  ExpectBodyOrErrorCode3(response.body, test.expectedBody);
  EXPECT_EQ(CallArgs(operation), test.expectedCalls);
}

}  // namespace corvane::larchmere::plugin::test
