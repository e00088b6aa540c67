#pragma once

#include <string>
#include <vector>

#include "EntryTestSupport.h"

// Shared by the second-factor and suite-account tests: a started plug-in in
// front of the stand-in engine, with the engine's call record cleared.
namespace corvane::larchmere::plugin::entry::test {

// The request headers with the given header lines (each ended by the caller).
inline std::string HeadersWith(const std::string& lines) { return kJsonHeaders + lines; }

inline std::string WithIdToken(const std::string& token = "tok-1") {
  return HeadersWith("x-idToken: " + token + "\r\n");
}

class FactorTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    ASSERT_TRUE(Start());
    sim::ClearCalls();
  }

  static Answer Post(const std::string& path, const std::string& body,
                     const std::string& headers = kJsonHeaders) {
    return Request("POST", path, body, headers.c_str());
  }

  // The in-arguments of the only call to `operation`; empty when it was not
  // called exactly once.
  static std::vector<std::string> OnlyCallTo(const std::string& operation) {
    const std::vector<sim::Call> calls = sim::CallsTo(operation);
    return calls.size() == 1 ? calls.front().args : std::vector<std::string>();
  }
};

}  // namespace corvane::larchmere::plugin::entry::test
