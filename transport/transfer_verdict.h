// What the end of a transfer proves about the order: the one rule from which
// the trace's outcome, the error box's paragraph and every reader of them
// follow.
#pragma once

#include "transport/transfer_report.h"

namespace qel {

// Where the order stands with the cash register after a transfer.
enum class TransferOutcome {
  // The request did not reach the cash register whole: nothing was sent, or
  // the connection failed before the last byte of the body went out.
  Failed,
  // The whole request went out and nothing that came back shows that the
  // order was not processed: the cash register may have booked it.
  InDoubt,
  // The answer shows that the order was not processed.
  Refused,
  // The cash register answered with Rect 0.
  Accepted,
};

// The outcome of the transfer that `report` describes. Once the whole body
// went out, only an answer that shows the order was not processed is a
// refusal: a Rect other than 0, a 4xx, a redirection that is not followed
// (301, 302, 307, 308), or a 500 that carries the service's own SOAP fault.
// Any other end is in doubt: a 2xx without a Rect (202, 204, ...), 303, a
// 5xx from the machinery in front of the service, an answer that cannot be
// judged, a connection lost while waiting. Before the whole body went out,
// any final status but 200 and 201 is a refusal, and a failed connection
// sent nothing that can be booked.
TransferOutcome judgeTransfer(const TransferReport& report);

}  // namespace qel
