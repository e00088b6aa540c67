#include <gtest/gtest.h>

#include "os/named_event.h"
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "os/process_info.h"

namespace keystead::os {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr milliseconds kGenerous = seconds(10);

// Every test uses names of its own so parallel runs do not meet, and removes
// them afterwards so nothing is left behind in the system.
class NamedEventTest : public ::testing::Test {
 protected:
  std::string UniqueName(const std::string& suffix) {
    static std::atomic<int> counter{0};
    std::string name = "test." + std::to_string(CurrentProcessId()) + "." +
                       std::to_string(counter++) + "." + suffix;
    names_.push_back(name);
    return name;
  }
  void TearDown() override {
    for (const std::string& name : names_) NamedEvent::Remove(name);
  }

 private:
  std::vector<std::string> names_;
};

TEST_F(NamedEventTest, OneSignalReleasesOneWaitAndSignalsDoNotAccumulate) {
  auto event = NamedEvent::CreateOrOpen(UniqueName("STOP_FP_EVENT"));
  ASSERT_TRUE(event);
  EXPECT_FALSE(event->Wait(milliseconds(0))) << "created not signalled";
  EXPECT_FALSE(event->Wait(milliseconds(20)));
  EXPECT_TRUE(event->Signal());
  EXPECT_TRUE(event->Signal());
  EXPECT_TRUE(event->Wait(milliseconds(0)));
  EXPECT_FALSE(event->Wait(milliseconds(0))) << "the second signal must not have been kept";
}

TEST_F(NamedEventTest, CloseReportsItsResultOnce) {
  auto event = NamedEvent::CreateOrOpen(UniqueName("close"));
  ASSERT_TRUE(event);
  EXPECT_TRUE(event->Close());
  EXPECT_FALSE(event->Close());
  EXPECT_FALSE(event->Signal());
  EXPECT_FALSE(event->Wait(milliseconds(0)));

  auto moved = NamedEvent::CreateOrOpen(UniqueName("move"));
  ASSERT_TRUE(moved);
  NamedEvent target = std::move(*moved);
  EXPECT_FALSE(moved->Close()) << "a moved-from event holds nothing";
  EXPECT_TRUE(target.Signal());
}

TEST_F(NamedEventTest, RejectsNamesThatCannotBeEvents) {
  EXPECT_FALSE(NamedEvent::CreateOrOpen(""));
  EXPECT_FALSE(NamedEvent::CreateOrOpen("a/b"));
  EXPECT_FALSE(NamedEvent::CreateOrOpen(std::string(201, 'x')));
  EXPECT_FALSE(NamedEvent::CreateOrOpen(std::string("a\0b", 3)));
  EXPECT_FALSE(NamedEvent::Remove(""));
}

TEST_F(NamedEventTest, SignalFromAnotherProcessReleasesTheWaiter) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: the second process is made with fork()";
#else
  const std::string readyName = UniqueName("ready");
  const std::string stopName = UniqueName("STOP_FP_EVENT");
  auto ready = NamedEvent::CreateOrOpen(readyName);
  auto stop = NamedEvent::CreateOrOpen(stopName);
  ASSERT_TRUE(ready && stop);

  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The waiting process: opens the events by name on its own.
    auto childReady = NamedEvent::CreateOrOpen(readyName);
    auto childStop = NamedEvent::CreateOrOpen(stopName);
    const bool released =
        childReady && childStop && childReady->Signal() && childStop->Wait(kGenerous);
    _exit(released ? 0 : 1);
  }

  EXPECT_TRUE(ready->Wait(kGenerous)) << "the child never got ready";
  EXPECT_TRUE(stop->Signal());
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the child's wait was not released";
  EXPECT_FALSE(stop->Wait(milliseconds(0))) << "the child's wait must have reset the event";
#endif
}

TEST_F(NamedEventTest, RemovedNameGivesAFreshEvent) {
#ifdef _WIN32
  GTEST_SKIP() << "POSIX only: a Win32 event goes with its last handle, no name outlives it";
#endif
  const std::string name = UniqueName("fresh");
  auto old = NamedEvent::CreateOrOpen(name);
  ASSERT_TRUE(old && old->Signal());
  EXPECT_TRUE(NamedEvent::Remove(name));
  auto fresh = NamedEvent::CreateOrOpen(name);
  ASSERT_TRUE(fresh);
  EXPECT_FALSE(fresh->Wait(milliseconds(0)));
  EXPECT_TRUE(old->Wait(milliseconds(0))) << "an open handle keeps working";
}

using NamedEventConcurrencyTest = NamedEventTest;

TEST_F(NamedEventConcurrencyTest, WaitingThreadIsReleasedThroughASecondHandle) {
  const std::string name = UniqueName("threads");
  auto waiterHandle = NamedEvent::CreateOrOpen(name);
  auto signalHandle = NamedEvent::CreateOrOpen(name);
  ASSERT_TRUE(waiterHandle && signalHandle);
  std::atomic<bool> released{false};
  std::thread waiter([&] { released = waiterHandle->Wait(kGenerous); });
  EXPECT_TRUE(signalHandle->Signal());
  waiter.join();
  EXPECT_TRUE(released);
}

}  // namespace
}  // namespace keystead::os
