// What one transfer did on the wire and what came of it, as the transaction
// trace records it. Filled only when a caller asks for it, so that a
// transfer without a trace costs nothing more.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace qel {

// Where the order stands with the cash register after a transfer.
enum class TransferOutcome {
  // The request did not reach the cash register whole: nothing was sent, or
  // the connection failed before the last byte of the body went out.
  Failed,
  // The whole request went out and no answer that can be judged came back,
  // or a gateway in front of the cash register said it lost the answer:
  // the cash register may have booked the order.
  InDoubt,
  // The cash register answered and said no (an HTTP status other than 200
  // or 201 and not a gateway's, or a Rect other than 0).
  Refused,
  // The cash register answered with Rect 0.
  Accepted,
};

struct TransferReport {
  // Whether the request and response bodies are kept (request, response).
  bool keepBodies = false;
  // Called once the request is ready, just before it goes out; unset when
  // nobody needs to know.
  std::function<void()> beforeSending;

  TransferOutcome outcome = TransferOutcome::Failed;
  // Set once libcurl has run the transfer, whatever its end.
  bool performed = false;
  long httpStatus = 0;
  // libcurl's timings from the start of the transfer, in microseconds: name
  // lookup, connect, TLS handshake, first response byte, whole transfer.
  std::int64_t nameLookupUs = 0;
  std::int64_t connectUs = 0;
  std::int64_t tlsUs = 0;
  std::int64_t firstByteUs = 0;
  std::int64_t totalUs = 0;
  // Body bytes handed to the connection and body bytes received.
  std::int64_t bytesSent = 0;
  std::int64_t bytesReceived = 0;
  // The answer's Rect and Rectmsg, once they were read.
  std::optional<std::int32_t> rect;
  std::wstring rectmsg;

  // The bodies as sent and as received (raw bytes), when keepBodies is set.
  std::string request;
  std::string response;
};

// The HTTP statuses of an answer to be judged: 200 and 201. Any other is the
// cash register's refusal, except a gateway's below.
inline bool isAnswerStatus(long status) { return status == 200 || status == 201; }

// The statuses with which a reverse proxy or load balancer says that the
// server behind it failed or did not answer in time (502, 503, 504). After
// the whole order went out, the cash register may have booked it.
inline bool isGatewayStatus(long status) { return status == 502 || status == 503 || status == 504; }

// Records what libcurl reports of the transfer on `handle` (a CURL*) that
// ended with `result` (a CURLcode), after sending a body of `bodySize` bytes
// and receiving `received`, and the outcome as far as the wire tells it:
// a transfer that failed, or a gateway's status, is in doubt once the whole
// body went out, and any other answer with an HTTP status other than 200 or
// 201 is a refusal. An answer to be judged stays in doubt until its
// judgement is recorded.
void recordTransfer(void* handle, int result, std::size_t bodySize, const std::string& received,
                    TransferReport& report);

}  // namespace qel
