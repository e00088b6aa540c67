#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <vector>

#include "plugin/common/ArrivalSignal.h"

namespace corvane::larchmere::plugin::common {
namespace {

using std::chrono::steady_clock;
using namespace std::chrono_literals;

// Long enough never to be reached unless a wake-up is lost.
constexpr auto kLostWakeUpLimit = 30s;

TEST(ArrivalSignalTest, WaitAnswersFromTheGenerationBeforeLookingAtTheDeadline) {
  ArrivalSignal signal;
  EXPECT_EQ(signal.Generation(), 0u);
  EXPECT_FALSE(signal.WaitUntil(0, steady_clock::now()));

  signal.Notify();

  EXPECT_EQ(signal.Generation(), 1u);
  // Already moved: true even with a deadline in the past.
  EXPECT_TRUE(signal.WaitUntil(0, steady_clock::now() - 1s));
  EXPECT_FALSE(signal.WaitUntil(1, steady_clock::now()));
}

TEST(ArrivalSignalConcurrencyTest, NotifyWakesEveryWaiter) {
  ArrivalSignal signal;
  std::vector<std::future<bool>> waiters;
  for (int waiter = 0; waiter < 3; ++waiter) {
    waiters.push_back(std::async(std::launch::async, [&signal] {
      return signal.WaitUntil(0, steady_clock::now() + kLostWakeUpLimit);
    }));
  }

  signal.Notify();

  for (std::future<bool>& waiter : waiters) {
    EXPECT_TRUE(waiter.get());
  }
}

}  // namespace
}  // namespace corvane::larchmere::plugin::common
