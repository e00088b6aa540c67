// A host that returns from main without calling Finalize: the plug-in's
// process-wide state is destroyed by the exit handlers, after the engine
// library's own, while the engine's capture thread still delivers frames.
// The test passes when the process then exits cleanly (under the sanitizers:
// no use-after-free, no leak report), so it must stay the only test here and
// must not finalise.
#include <gtest/gtest.h>

#include <string>

#include "engine-sim/SimControl.h"
#include "plugin/entry/KeysteadPlugin.h"

namespace keystead::test {
namespace {

namespace sim = keystead::sim;

constexpr char kEnrollmentUrl[] = "http://127.0.0.1:8080/q/v1/frame/enrollment";
constexpr char kHeaders[] =
    "Content-Type: application/json\r\n"
    "Q-Correlation-Id: QCID97c096e3-52fe-4fbd-88a6-4a16a4bcaae8QCID\r\n";
constexpr char kBody[] = "{}";

TEST(ExitWithoutFinalizeTest, ACaptureIsLeftRunningAtExit) {
  // The engine library's state is first touched inside Initialize, as in a
  // host: it is then made after the plug-in's and destroyed before it.
  ASSERT_TRUE(Initialize(nullptr, nullptr));
  sim::Configure([](sim::Config& config) { config.camera.autoFrames = true; });

  unsigned short status = 200;
  int headersLength = 0;
  int bodyLength = 0;
  char* headers = nullptr;
  char* body = nullptr;
  ASSERT_TRUE(ProcessRequest("POST", kEnrollmentUrl, kHeaders, static_cast<int>(sizeof kBody - 1),
                             kBody, &status, &headersLength, &headers, &bodyLength, &body));
  EXPECT_EQ(status, 200) << (body != nullptr ? body : "");
  FreeMem(headers);
  FreeMem(body);
  EXPECT_EQ(sim::CallCount("StartRemoteBiometricData"), 1u);
  EXPECT_EQ(sim::CallCount("StopRemoteBiometricData"), 0u);
  // No Finalize: the capture runs on while the process exits.
}

}  // namespace
}  // namespace keystead::test
