// One line of the transaction trace: a JSON object with the transaction's
// order, where it was sent, what became of it and what the wire showed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "transport/transfer_report.h"

namespace qel {

// Bodies longer than this are cut in the trace, with a note of the bytes
// left out.
constexpr std::size_t kTracedBodyBytes = std::size_t{1} << 20;

struct TracedOrder {
  std::int32_t orderId = 0;
  std::int32_t receipt = 0;
  double total = 0.0;
  std::wstring terminalId;
};

struct TraceEntry {
  std::string time;  // ISO 8601, UTC
  // The transaction's own name, the same on its "sending" line and on the
  // line of its outcome; empty, the key is left out.
  std::string id;
  const char* kind = "sale";
  std::optional<TracedOrder> order;  // unset when the order was never read
  std::wstring url;                  // as configured
  const char* outcome = "failed";
  // Why the journal of open transactions could not be used, if it could not.
  const char* journal = nullptr;
  // The operator's answer about an earlier attempt of the receipt, if one was
  // asked and the order is sent again.
  const char* operatorAnswer = nullptr;
  std::optional<std::wstring> message;  // the operator's error box, if any
  const char* boxNotShown = nullptr;    // one of trace::box, or null
  const char* logEntryLost = nullptr;   // one of trace::lost, or null
  std::uint32_t linesLost = 0;          // earlier lines given up for a lock
};

// The entry, with what `transfer` did as far as it got (nothing of the
// transfer when it is null), as one line of JSON ending in "\n". Every text is written as
// UTF-8; a response that is not UTF-8 is read with the ANSI code page, as an
// error box shows it. The url loses any user name and password, and nothing
// else that the transfer knows of the credentials is ever written.
std::string formatTraceLine(const TraceEntry& entry, const TransferReport* transfer);

}  // namespace qel
