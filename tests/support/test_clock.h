// A steady clock that a test sets by hand, put into the platform's clock row
// of the system-call table: what waits on the clock (the progress window's
// delay and turns) runs on it without sleeping. For tests that link the
// platform layer statically.
#pragma once

#include <cstdint>

namespace qel::test {

class TestClock {
 public:
  // The platform's steady clock reads `startMs` until set otherwise; the
  // destructor puts the system's clock back. One at a time.
  explicit TestClock(std::int64_t startMs);
  ~TestClock();
  TestClock(const TestClock&) = delete;
  TestClock& operator=(const TestClock&) = delete;

  void set(std::int64_t nowMs);
};

}  // namespace qel::test
