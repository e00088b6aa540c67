#include <gtest/gtest.h>

#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "os/debug_output.h"
#include "support/ScopedEnv.h"

namespace keystead::os {
namespace {

using test_support::ScopedEnv;

std::string CaptureDebugOutput(const std::function<void()>& write) {
  ::testing::internal::CaptureStderr();
  write();
  return ::testing::internal::GetCapturedStderr();
}

TEST(DebugOutputTest, WritesOneLinePerCallOnlyWhenSwitchedOn) {
  {
    ScopedEnv on("KEYSTEAD_DEBUG_OUTPUT", "1");
    EXPECT_EQ(CaptureDebugOutput([] {
                DebugOutput("first");
                DebugOutput("second\n");
                DebugOutput("");
              }),
              "first\nsecond\n\n");
  }
  for (const char* off : {"0", "yes", ""}) {
    ScopedEnv setting("KEYSTEAD_DEBUG_OUTPUT", off);
    EXPECT_EQ(CaptureDebugOutput([] { DebugOutput("dropped"); }), "") << off;
  }
  ScopedEnv unset("KEYSTEAD_DEBUG_OUTPUT", std::nullopt);
  EXPECT_EQ(CaptureDebugOutput([] { DebugOutput("dropped"); }), "");
}

TEST(DebugOutputConcurrencyTest, LinesOfConcurrentThreadsDoNotMix) {
  ScopedEnv on("KEYSTEAD_DEBUG_OUTPUT", "1");
  constexpr int kThreads = 4;
  constexpr int kLines = 200;
  const std::string output = CaptureDebugOutput([] {
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
      threads.emplace_back([t] {
        const std::string line = "thread " + std::to_string(t) + " " + std::string(300, 'a' + t);
        for (int i = 0; i < kLines; ++i) DebugOutput(line);
      });
    }
    for (auto& thread : threads) thread.join();
  });

  std::istringstream lines(output);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    ASSERT_EQ(line.size(), 309u) << line;
    EXPECT_EQ(line.find_first_not_of(line.back(), 9), std::string::npos) << line;
  }
  EXPECT_EQ(count, kThreads * kLines);
}

}  // namespace
}  // namespace keystead::os
