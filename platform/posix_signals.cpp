// The POSIX side of BrokenPipeShield: SIGPIPE blocked on the calling thread
// for the shield's life, and one that arose meanwhile taken before it ends.
#include <pthread.h>
#include <signal.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "platform/platform.h"

namespace qel::platform {
namespace {

sigset_t brokenPipeOnly() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGPIPE);
  return set;
}

bool brokenPipePending() {
  sigset_t pending;
  return sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
}

}  // namespace

// A blocked SIGPIPE stays pending instead of reaching a handler; the
// process's dispositions are untouched, so other threads see no change.
BrokenPipeShield::BrokenPipeShield() : savedMask_{} {
  static_assert(sizeof(sigset_t) <= sizeof savedMask_, "the saved mask must fit");
  pendingBefore_ = brokenPipePending();
  const sigset_t pipe = brokenPipeOnly();
  sigset_t saved;
  blocked_ = pthread_sigmask(SIG_BLOCK, &pipe, &saved) == 0;
  std::memcpy(savedMask_, &saved, sizeof saved);
}

BrokenPipeShield::~BrokenPipeShield() {
  if (!blocked_) return;
  // A signal that was pending before belongs to the host and stays.
  if (!pendingBefore_ && brokenPipePending()) {
    const sigset_t pipe = brokenPipeOnly();
    const timespec noWait{0, 0};
    while (sigtimedwait(&pipe, nullptr, &noWait) < 0 && errno == EINTR) {
    }
  }
  sigset_t saved;
  std::memcpy(&saved, savedMask_, sizeof saved);
  pthread_sigmask(SIG_SETMASK, &saved, nullptr);
}

}  // namespace qel::platform
