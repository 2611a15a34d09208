// Which fault the proxy injects into which connection: one row per kind
// with its name and default share, and a choice for connection n that
// depends on nothing but the seed and n, so that a run can be repeated
// exactly.
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
  Answer502,    // forward, then answer with a gateway's page instead:
  Answer503,    //   the status of its name, plain text
  Answer504,
  Answer202,     // forward, then answer 202 Accepted with an empty body
  Answer204,     // forward, then answer 204 No Content
  Html500,       // forward, then a web server's HTML error page, status 500
  Utf16Html500,  // the same page in UTF-16 (NUL bytes in the body)
  Gzip502,       // a gateway's 502 page, gzip-compressed though nobody asked
  ResetInBody,   // read the headers and half of the body, then reset
};

struct FaultRow {
  Fault fault;
  const char* name;     // on the command line and in the log, e.g. "close-after"
  std::uint32_t share;  // default weight, of 100
};

// Every kind, in the order of the enumeration.
extern const std::array<FaultRow, 15> kFaults;
constexpr std::size_t kFaultKinds = 15;

// The name of `fault`.
const char* faultName(Fault fault);

// The default shares as the command line takes them: "pass=58,refuse=4,...".
std::string defaultShares();

// The bytes answered instead of the cash register's answer, for the kinds
// that replace it; empty for the others.
std::string replacementAnswer(Fault fault);

class FaultPlan {
 public:
  // `shares` as "name=weight,...", each kind at most once; kinds left out
  // get no share. Throws std::invalid_argument naming what is wrong.
  FaultPlan(std::uint64_t seed, const std::string& shares = defaultShares());

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
