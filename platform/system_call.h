// One row of the platform's table of system calls: the call's name, the
// function called now and the system's own, so that a test can put a
// failing stand-in where the system call was.
#pragma once

#include <utility>

namespace qel::platform::detail {

template <typename Fn>
struct SystemCall {
  constexpr SystemCall(const char* callName, Fn* call) : name(callName), current(call), original(call) {}

  template <typename... Args>
  decltype(auto) operator()(Args&&... args) const {
    return current(std::forward<Args>(args)...);
  }

  const char* const name;
  // Replaced only while no other thread is inside the platform layer.
  Fn* current;
  Fn* const original;
};

}  // namespace qel::platform::detail
