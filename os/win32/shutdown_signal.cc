// Console stop requests (Ctrl+C, Ctrl+Break, closing the console, log-off,
// shut-down) arrive on a thread that the system creates; they are queued and
// the waiting thread takes them one by one.
#include "os/shutdown_signal.h"

#include <windows.h>

#include <condition_variable>
#include <deque>
#include <mutex>

namespace keystead::os {
namespace {

struct StopRequests {
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<std::string> pending;  // guarded by mutex
};

StopRequests& Requests() {
  static StopRequests requests;
  return requests;
}

void Post(std::string name) {
  StopRequests& requests = Requests();
  std::lock_guard lock(requests.mutex);
  requests.pending.push_back(std::move(name));
  requests.arrived.notify_one();
}

BOOL WINAPI OnConsoleControl(DWORD control) {
  try {
    Post(control == CTRL_C_EVENT || control == CTRL_BREAK_EVENT ? "SIGINT" : "SIGTERM");
  } catch (...) {
    return FALSE;  // let the system's default handling end the process
  }
  return TRUE;
}

}  // namespace

void PrepareShutdownSignals() {
  static std::once_flag installed;
  std::call_once(installed, [] {
    Requests();
    SetConsoleCtrlHandler(OnConsoleControl, TRUE);
  });
}

std::string WaitForShutdownSignal() {
  StopRequests& requests = Requests();
  std::unique_lock lock(requests.mutex);
  requests.arrived.wait(lock, [&] { return !requests.pending.empty(); });
  std::string name = std::move(requests.pending.front());
  requests.pending.pop_front();
  return name;
}

void RequestShutdown() { Post("SIGTERM"); }

}  // namespace keystead::os
