#pragma once

// A deadlocked thread can be neither joined nor cancelled: when work does not
// finish in time, these end the process with a message naming it, so that
// the test run fails instead of hanging.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace keystead::test_support {

[[noreturn]] inline void AbortAsDeadlocked(const std::string& what, std::chrono::seconds limit) {
  std::fprintf(stderr, "DEADLOCK? %s did not finish within %lld s\n", what.c_str(),
               static_cast<long long>(limit.count()));
  std::fflush(nullptr);
  std::abort();
}

// The value of `future`, once it comes within `limit`.
template <typename T>
T AwaitOrAbort(std::future<T>& future, const std::string& what, std::chrono::seconds limit) {
  if (future.wait_for(limit) != std::future_status::ready) AbortAsDeadlocked(what, limit);
  return future.get();
}

// Waits for every task, all of them within one `limit` from now.
inline void AwaitAllOrAbort(std::vector<std::future<void>>& tasks, const std::string& what,
                            std::chrono::seconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (std::future<void>& task : tasks) {
    if (task.wait_until(deadline) != std::future_status::ready) AbortAsDeadlocked(what, limit);
    task.get();
  }
}

// Runs `scenario` on a thread of its own and waits for it.
inline void RunWithWatchdog(const std::function<void()>& scenario, const std::string& what,
                            std::chrono::seconds limit) {
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  std::thread runner([&] {
    scenario();
    done.set_value();
  });
  if (finished.wait_for(limit) != std::future_status::ready) AbortAsDeadlocked(what, limit);
  runner.join();
}

}  // namespace keystead::test_support
