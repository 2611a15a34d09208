// The fault plan: shares read from the command line, choices from the seed.
#include "tools/fault-proxy/fault_plan.h"

#include <cstdio>
#include <stdexcept>

namespace qel::proxy {
namespace {

constexpr const char* kNames[kFaultKinds] = {"pass", "refuse", "close-before", "close-after", "delay",
                                             "cut",  "502",    "504",          "reset-body"};
constexpr std::uint32_t kMaxWeight = 1000000;

// splitmix64: one well-mixed 64-bit value for each input, the same on every
// platform and standard library.
std::uint64_t mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

std::size_t kindOf(const std::string& name) {
  for (std::size_t i = 0; i < kFaultKinds; ++i) {
    if (name == kNames[i]) return i;
  }
  throw std::invalid_argument("unknown fault '" + name + "'");
}

std::uint32_t weightOf(const std::string& name, const std::string& text) {
  std::size_t used = 0;
  unsigned long value = 0;
  try {
    value = text.empty() || text[0] == '-' ? kMaxWeight + 1ul : std::stoul(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || value > kMaxWeight) {
    throw std::invalid_argument("the share of " + name + " must be a whole number from 0 to " +
                                std::to_string(kMaxWeight) + ", not '" + text + "'");
  }
  return static_cast<std::uint32_t>(value);
}

}  // namespace

const char* faultName(Fault fault) { return kNames[static_cast<std::size_t>(fault)]; }

FaultPlan::FaultPlan(std::uint64_t seed, const std::string& shares) : seed_(seed) {
  std::array<bool, kFaultKinds> given{};
  std::size_t start = 0;
  while (start <= shares.size()) {
    const std::size_t comma = std::min(shares.find(',', start), shares.size());
    const std::string item = shares.substr(start, comma - start);
    const std::size_t equals = item.find('=');
    if (equals == std::string::npos) throw std::invalid_argument("a share is name=weight, not '" + item + "'");
    const std::string name = item.substr(0, equals);
    const std::size_t kind = kindOf(name);
    if (given[kind]) throw std::invalid_argument("the share of " + name + " is given twice");
    given[kind] = true;
    weights_[kind] = weightOf(name, item.substr(equals + 1));
    total_ += weights_[kind];
    start = comma + 1;
  }
  if (total_ == 0) throw std::invalid_argument("every share is 0");
}

Fault FaultPlan::choose(std::uint64_t index) const {
  std::uint64_t slot = mix(seed_ ^ mix(index)) % total_;
  std::size_t kind = 0;
  while (slot >= weights_[kind]) slot -= weights_[kind++];
  return static_cast<Fault>(kind);
}

std::string FaultPlan::describe() const {
  std::string text = "seed " + std::to_string(seed_) + "; per connection:";
  const char* separator = " ";
  for (std::size_t i = 0; i < kFaultKinds; ++i) {
    if (weights_[i] == 0) continue;
    char share[32];
    std::snprintf(share, sizeof share, " %.1f%%", 100.0 * weights_[i] / static_cast<double>(total_));
    text += separator + std::string(kNames[i]) + share;
    separator = ", ";
  }
  return text;
}

}  // namespace qel::proxy
