// Program start without a shell. A program that outlives the caller's wait is
// left running; a detached reaper thread per program waits for it so it never
// stays a zombie. The reaper runs code of the module that holds this file, so
// before the first reaper starts the module is pinned in memory: a host that
// unloads the plug-in while the program still runs must not pull the code from
// under the waiting thread.
#include "os/process_launch.h"

#include <dlfcn.h>
#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

extern char** environ;

namespace keystead::os {
namespace {

// Waits this long or longer have no end; adding them to the clock would overflow.
constexpr std::chrono::milliseconds kWaitWithoutEnd = std::chrono::hours(24 * 365);

// What the reaper learns about one child, shared with the caller that waits.
struct ChildStatus {
  std::mutex mutex;
  std::condition_variable ended;
  bool exited = false;
  int exitCode = 0;
};

int ExitCodeOf(int waitStatus) {
  if (WIFEXITED(waitStatus)) return WEXITSTATUS(waitStatus);
  if (WIFSIGNALED(waitStatus)) return 128 + WTERMSIG(waitStatus);
  return -1;
}

void PinThisModule() {
  static std::once_flag pinned;
  std::call_once(pinned, [] {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&PinThisModule), &info) == 0 || info.dli_fname == nullptr) {
      return;
    }
    // The handle is deliberately never closed: RTLD_NODELETE keeps the module
    // mapped for the rest of the process.
    dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
  });
}

void Reap(pid_t pid, const std::shared_ptr<ChildStatus>& status) {
  int waitStatus = 0;
  pid_t result;
  do {
    result = waitpid(pid, &waitStatus, 0);
  } while (result < 0 && errno == EINTR);
  std::lock_guard lock(status->mutex);
  status->exited = true;
  status->exitCode = result == pid ? ExitCodeOf(waitStatus) : -1;
  status->ended.notify_all();
}

// Owns the spawn attributes and file actions for one start.
class SpawnSettings {
 public:
  SpawnSettings() {
    attributesReady_ = posix_spawnattr_init(&attributes_) == 0;
    actionsReady_ = posix_spawn_file_actions_init(&actions_) == 0;
  }
  ~SpawnSettings() {
    if (attributesReady_) posix_spawnattr_destroy(&attributes_);
    if (actionsReady_) posix_spawn_file_actions_destroy(&actions_);
  }
  SpawnSettings(const SpawnSettings&) = delete;
  SpawnSettings& operator=(const SpawnSettings&) = delete;

  // The child starts with no blocked and no ignored signals, whatever the
  // host did to its own threads, and sees only the standard descriptors.
  bool Prepare() {
    if (!attributesReady_ || !actionsReady_) return false;
    sigset_t none;
    sigset_t all;
    sigemptyset(&none);
    sigfillset(&all);
    if (posix_spawnattr_setsigmask(&attributes_, &none) != 0 ||
        posix_spawnattr_setsigdefault(&attributes_, &all) != 0 ||
        posix_spawnattr_setflags(&attributes_, POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF) !=
            0) {
      return false;
    }
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    if (posix_spawn_file_actions_addclosefrom_np(&actions_, 3) != 0) return false;
#endif
    return true;
  }

  const posix_spawnattr_t* Attributes() const { return &attributes_; }
  const posix_spawn_file_actions_t* Actions() const { return &actions_; }

 private:
  posix_spawnattr_t attributes_{};
  posix_spawn_file_actions_t actions_{};
  bool attributesReady_ = false;
  bool actionsReady_ = false;
};

bool Spawn(const std::string& executable, const std::vector<std::string>& arguments, pid_t* pid) {
  if (executable.empty() || executable.find('\0') != std::string::npos) return false;
  std::vector<std::string> argumentCopies;
  argumentCopies.reserve(arguments.size() + 1);
  argumentCopies.push_back(executable);
  argumentCopies.insert(argumentCopies.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  argv.reserve(argumentCopies.size() + 1);
  for (std::string& argument : argumentCopies) argv.push_back(argument.data());
  argv.push_back(nullptr);

  SpawnSettings settings;
  if (!settings.Prepare()) return false;
  return posix_spawn(pid, executable.c_str(), settings.Actions(), settings.Attributes(),
                     argv.data(), environ) == 0;
}

}  // namespace

LaunchResult StartProcess(const std::string& executable, const std::vector<std::string>& arguments,
                          std::chrono::milliseconds waitAtMost) {
  LaunchResult result;
  try {
    pid_t pid = 0;
    if (!Spawn(executable, arguments, &pid)) return result;
    result.started = true;

    auto status = std::make_shared<ChildStatus>();
    PinThisModule();
    std::thread(Reap, pid, status).detach();

    std::unique_lock lock(status->mutex);
    const auto hasExited = [&] { return status->exited; };
    if (waitAtMost >= kWaitWithoutEnd) {
      status->ended.wait(lock, hasExited);
    } else {
      status->ended.wait_for(lock, std::max(waitAtMost, std::chrono::milliseconds::zero()),
                             hasExited);
    }
    result.exited = status->exited;
    result.exitCode = status->exitCode;
  } catch (const std::exception&) {
    // Only the reaper can fail to start here. The program then runs on
    // unwatched; if it ends before this process it stays a zombie until then.
  }
  return result;
}

std::string ExecutableFileName(std::string_view baseName) { return std::string(baseName); }

}  // namespace keystead::os
