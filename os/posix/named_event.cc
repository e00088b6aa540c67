// The named event is a named POSIX semaphore whose count never exceeds one
// through Signal. Two processes signalling at the very same moment may both
// see it unset and leave a count of two; the only effect is one spare wake-up,
// which a stop signal tolerates.
#include "os/named_event.h"

#include <fcntl.h>
#include <semaphore.h>
#include <sys/stat.h>

#include <cerrno>
#include <ctime>
#include <string>
#include <utility>

#include "os/named_event_platform.h"

namespace keystead::os {
namespace {

std::string SemaphoreName(std::string_view name) { return "/keystead." + std::string(name); }

sem_t* AsSemaphore(void* handle) { return static_cast<sem_t*>(handle); }

timespec DeadlineAfter(std::chrono::milliseconds timeout) {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(timeout);
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(timeout - seconds);
  timespec deadline{};
  deadline.tv_sec = now.tv_sec + static_cast<time_t>(seconds.count());
  deadline.tv_nsec = now.tv_nsec + static_cast<long>(nanoseconds.count());
  if (deadline.tv_nsec >= 1'000'000'000L) {
    deadline.tv_sec += 1;
    deadline.tv_nsec -= 1'000'000'000L;
  }
  return deadline;
}

}  // namespace

void* CreateOrOpenSystemEvent(std::string_view name) {
  sem_t* semaphore = sem_open(SemaphoreName(name).c_str(), O_CREAT, S_IRUSR | S_IWUSR, 0U);
  return semaphore == SEM_FAILED ? nullptr : semaphore;
}

bool RemoveSystemEvent(std::string_view name) {
  return sem_unlink(SemaphoreName(name).c_str()) == 0;
}

bool NamedEvent::Signal() {
  if (handle_ == nullptr) return false;
  int count = 0;
  if (sem_getvalue(AsSemaphore(handle_), &count) != 0) return false;
  if (count > 0) return true;
  return sem_post(AsSemaphore(handle_)) == 0;
}

bool NamedEvent::Wait(std::chrono::milliseconds timeout) {
  if (handle_ == nullptr) return false;
  sem_t* semaphore = AsSemaphore(handle_);
  if (timeout <= std::chrono::milliseconds::zero()) return sem_trywait(semaphore) == 0;
  const timespec deadline = DeadlineAfter(timeout);
  int result;
  do {
    result = sem_clockwait(semaphore, CLOCK_MONOTONIC, &deadline);
  } while (result != 0 && errno == EINTR);
  return result == 0;
}

bool NamedEvent::Close() {
  if (handle_ == nullptr) return false;
  return sem_close(AsSemaphore(std::exchange(handle_, nullptr))) == 0;
}

}  // namespace keystead::os
