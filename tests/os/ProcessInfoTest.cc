#include <gtest/gtest.h>

#include <ctime>
#include <thread>

#include "os/process_info.h"

namespace keystead::os {
namespace {

TEST(ProcessInfoTest, ThreadsHaveTheirOwnIdsInOneProcess) {
  const std::uint64_t mainThread = CurrentThreadId();
  std::uint64_t otherThread = 0;
  std::uint32_t otherProcess = 0;
  std::thread([&] {
    otherThread = CurrentThreadId();
    otherProcess = CurrentProcessId();
  }).join();
  EXPECT_NE(CurrentProcessId(), 0u);
  EXPECT_EQ(otherProcess, CurrentProcessId());
  EXPECT_NE(mainThread, 0u);
  EXPECT_NE(otherThread, mainThread);
  EXPECT_EQ(CurrentThreadId(), mainThread);
}

TEST(ProcessInfoTest, LocalTimeConvertsBackToTheSameInstant) {
  const std::time_t instant = 1741176000;  // early March 2025 in every time zone
  std::tm local = ToLocalTime(instant);
  EXPECT_EQ(local.tm_year, 125);
  EXPECT_EQ(local.tm_mon, 2);
  EXPECT_EQ(std::mktime(&local), instant);
}

}  // namespace
}  // namespace keystead::os
