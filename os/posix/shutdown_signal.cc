#include "os/shutdown_signal.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

namespace keystead::os {
namespace {

sigset_t ShutdownSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  return signals;
}

}  // namespace

void PrepareShutdownSignals() {
  // Blocked signals stay pending until sigwait takes them, on whichever thread
  // waits; every thread created later inherits the mask.
  const sigset_t signals = ShutdownSignals();
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

std::string WaitForShutdownSignal() {
  const sigset_t signals = ShutdownSignals();
  int received = 0;
  while (sigwait(&signals, &received) != 0) {
    // sigwait reports only EINVAL, which a fixed, valid set cannot cause; retry
    // rather than return a stop nobody asked for.
  }
  return received == SIGINT ? "SIGINT" : "SIGTERM";
}

void RequestShutdown() { kill(getpid(), SIGTERM); }

}  // namespace keystead::os
