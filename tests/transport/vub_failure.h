// Runs a piece of code that must fail and hands back the VubException it
// raised, so that a test can compare message and code.
#pragma once

#include <gtest/gtest.h>

#include <utility>

#include "base/vub_exception.h"

namespace qel::test {

template <typename Action>
VubException vubFailure(Action&& action) {
  try {
    std::forward<Action>(action)();
  } catch (const VubException& e) {
    return e;
  }
  ADD_FAILURE() << "expected a VubException";
  return VubException(L"<no exception>", -12345);
}

}  // namespace qel::test
