// BrokenPipeShield: a SIGPIPE raised on the shielded thread never reaches the
// host's handler, one pending before stays the host's, and the thread's mask
// is given back as it was.
#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>

#include <atomic>

#include "platform/platform.h"

namespace qel {
namespace {

std::atomic<int> handled{0};
void countBrokenPipe(int) { handled.fetch_add(1); }

bool brokenPipeBlocked() {
  sigset_t mask;
  pthread_sigmask(SIG_SETMASK, nullptr, &mask);
  return sigismember(&mask, SIGPIPE) == 1;
}

class BrokenPipeShieldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    struct sigaction counting {};
    counting.sa_handler = &countBrokenPipe;
    sigaction(SIGPIPE, &counting, &previous_);
    handled.store(0);
  }
  void TearDown() override { sigaction(SIGPIPE, &previous_, nullptr); }

  struct sigaction previous_ {};
};

TEST_F(BrokenPipeShieldTest, KeepsItsOwnSignalAndLeavesTheHostsAlone) {
  {
    const platform::BrokenPipeShield shield;
    EXPECT_TRUE(brokenPipeBlocked());
    raise(SIGPIPE);
  }
  EXPECT_EQ(handled.load(), 0) << "a signal raised under the shield reached the handler";
  EXPECT_FALSE(brokenPipeBlocked());

  // A signal that was already waiting belongs to the host: it arrives once
  // the shield is gone.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
  raise(SIGPIPE);
  { const platform::BrokenPipeShield shield; }
  EXPECT_TRUE(brokenPipeBlocked()) << "the mask the shield found must come back";
  pthread_sigmask(SIG_UNBLOCK, &pipe, nullptr);
  EXPECT_EQ(handled.load(), 1);
}

}  // namespace
}  // namespace qel
