// TestClock on Windows: a stand-in for GetTickCount64 in the table.
#include <windows.h>

#include "platform/win32_calls.h"
#include "tests/support/test_clock.h"

namespace qel::test {
namespace {

std::int64_t nowMs = 0;

ULONGLONG WINAPI readTestClock() { return static_cast<ULONGLONG>(nowMs); }

}  // namespace

using platform::detail::win32Calls;

TestClock::TestClock(std::int64_t startMs) {
  nowMs = startMs;
  win32Calls.GetTickCount64.current = &readTestClock;
}

TestClock::~TestClock() { win32Calls.GetTickCount64.current = win32Calls.GetTickCount64.original; }

void TestClock::set(std::int64_t now) { nowMs = now; }

}  // namespace qel::test
