// What the scripted system faults share on every target: the scripts by name
// and the count of open handles.
#include "tests/platform/system_faults.h"

#include <gtest/gtest.h>

#include "harness/soak/process_stats.h"

namespace qel::test {

SystemFaults* SystemFaults::live_ = nullptr;

SystemFaults& SystemFaults::live() { return *live_; }

CallScript& SystemFaults::operator[](std::string_view call) {
  const auto found = scripts_.find(call);
  if (found != scripts_.end()) return found->second;
  ADD_FAILURE() << "the table has no call named " << call;
  static CallScript unused;
  return unused;
}

std::vector<std::string> SystemFaults::calls() const {
  std::vector<std::string> names;
  for (const auto& [name, script] : scripts_) names.push_back(name);
  return names;
}

bool SystemFaults::allMet() const {
  for (const auto& [name, script] : scripts_) {
    if (script.interruptions > 0 || script.failures > 0) return false;
  }
  return true;
}

std::size_t openHandles() { return soak::currentStats().openDescriptors; }

}  // namespace qel::test
