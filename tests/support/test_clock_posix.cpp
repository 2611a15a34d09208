// TestClock on POSIX: a stand-in for clock_gettime in the table.
#include <time.h>

#include "platform/posix_calls.h"
#include "tests/support/test_clock.h"

namespace qel::test {
namespace {

std::int64_t nowMs = 0;

int readTestClock(clockid_t, timespec* now) {
  now->tv_sec = static_cast<time_t>(nowMs / 1000);
  now->tv_nsec = static_cast<long>(nowMs % 1000) * 1000000;
  return 0;
}

}  // namespace

using platform::detail::posixCalls;

TestClock::TestClock(std::int64_t startMs) {
  nowMs = startMs;
  posixCalls.clock_gettime.current = &readTestClock;
}

TestClock::~TestClock() { posixCalls.clock_gettime.current = posixCalls.clock_gettime.original; }

void TestClock::set(std::int64_t now) { nowMs = now; }

}  // namespace qel::test
