// Which fault the proxy injects into which connection: a share for each
// kind, and a choice for connection n that depends on nothing but the seed
// and n, so that a run can be repeated exactly.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace qel::proxy {

enum class Fault {
  Pass,         // forward the request and the answer unchanged
  Refuse,       // reset the connection before reading anything
  CloseBefore,  // read the whole request, then close without forwarding it
  CloseAfter,   // forward the whole request, then close without an answer
  Delay,        // forward, then hold the answer past the client's time-out
  CutAnswer,    // forward, then send half of the answer and close
  Answer502,    // forward, then answer 502 instead of the answer
  Answer504,    // forward, then answer 504 instead of the answer
  ResetInBody,  // read the headers and half of the body, then reset
};

constexpr std::size_t kFaultKinds = 9;

// The name of `fault` on the command line and in the log, e.g. "close-after".
const char* faultName(Fault fault);

class FaultPlan {
 public:
  // `shares` as "name=weight,...", each kind at most once; kinds left out
  // get no share. Throws std::invalid_argument naming what is wrong.
  FaultPlan(std::uint64_t seed, const std::string& shares);

  // The fault of connection `index` (0 for the first).
  Fault choose(std::uint64_t index) const;

  // "seed S; per connection: pass 90.0%, refuse 2.0%, ..." for every kind
  // with a share.
  std::string describe() const;

 private:
  std::uint64_t seed_;
  std::array<std::uint32_t, kFaultKinds> weights_{};
  std::uint64_t total_ = 0;
};

}  // namespace qel::proxy
