#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "os/process_launch.h"
#include "support/TempFolder.h"

namespace keystead::os {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr milliseconds kGenerous = seconds(10);

// Polls a condition until it holds or the deadline passes.
template <typename Condition>
bool Eventually(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + kGenerous;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return true;
}

TEST(ProcessLaunchTest, ReportsExitCodesAndPassesArgumentsUnchanged) {
  struct Case {
    const char* executable;
    std::vector<std::string> arguments;
    int exitCode;
  };
  const Case cases[] = {
      {"/bin/true", {}, 0},
      {"/bin/false", {}, 1},
      {"/usr/bin/test", {"two words", "=", "two words"}, 0},
      {"/usr/bin/test", {"two words", "=", "two"}, 1},
      {"/usr/bin/test", {"$HOME", "=", "$HOME"}, 0},  // no shell expands anything
  };
  for (const Case& c : cases) {
    const LaunchResult result = StartProcess(c.executable, c.arguments, kGenerous);
    EXPECT_TRUE(result.started) << c.executable;
    EXPECT_TRUE(result.exited) << c.executable;
    EXPECT_EQ(result.exitCode, c.exitCode)
        << c.executable << " " << testing::PrintToString(c.arguments);
  }
}

TEST(ProcessLaunchTest, WaitWithoutEndReturnsWhenTheProgramEnds) {
  const LaunchResult result = StartProcess("/bin/false", {}, milliseconds::max());
  EXPECT_TRUE(result.exited);
  EXPECT_EQ(result.exitCode, 1);
}

TEST(ProcessLaunchTest, ProgramsThatCannotRunAreNotStarted) {
  test_support::TempFolder dir;
  const std::string notExecutable = dir.WriteFile("plain.txt", "text");
  for (const std::string& executable : {std::string("/nonexistent/CvKsInsUtil"), std::string(),
                                        dir.Path(), notExecutable, std::string("true")}) {
    const LaunchResult result = StartProcess(executable, {}, kGenerous);
    EXPECT_FALSE(result.started) << executable;
    EXPECT_FALSE(result.exited) << executable;
  }
}

TEST(ProcessLaunchTest, ProgramOutlivingTheWaitKeepsRunningAndIsReaped) {
  test_support::TempFolder dir;
  const std::string marker = dir.Path("finished");
  // The shell is the program here only to record its own id when it ends.
  const LaunchResult result = StartProcess(
      "/bin/sh", {"-c", "sleep 0.3; echo $$ > " + marker + ".tmp; mv " + marker + ".tmp " + marker},
      milliseconds(20));
  EXPECT_TRUE(result.started);
  EXPECT_FALSE(result.exited);

  ASSERT_TRUE(Eventually([&] { return std::filesystem::exists(marker); }))
      << "the program was not left running";
  std::string pid;
  std::ifstream(marker) >> pid;
  ASSERT_FALSE(pid.empty());
  EXPECT_TRUE(Eventually([&] { return !std::filesystem::exists("/proc/" + pid); }))
      << "the ended program was not reaped";
}

}  // namespace
}  // namespace keystead::os
