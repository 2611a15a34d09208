// What one transfer did on the wire and what came back, as the flow judges
// it and the transaction trace records it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace qel {

struct TransferReport {
  // Whether the request and response bodies are kept (request, response).
  bool keepBodies = false;

  // Set once libcurl has run the transfer, whatever its end.
  bool performed = false;
  // libcurl's result (a CURLcode, 0 when the transfer completed) and the
  // final HTTP status (0 when none came).
  int curlResult = 0;
  long httpStatus = 0;
  // Whether libcurl handed the whole request body to the connection.
  bool wholeBodySent = false;
  // Whether the answer is the service's own SOAP fault.
  bool serviceFault = false;
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

// The HTTP statuses of an answer to be judged: 200 and 201.
inline bool isAnswerStatus(long status) { return status == 200 || status == 201; }

// Records what libcurl reports of the transfer on `handle` (a CURL*) that
// ended with `result` (a CURLcode), after sending a body of `bodySize` bytes
// and receiving `received`. What that proves is judgeTransfer's to say.
void recordTransfer(void* handle, int result, std::size_t bodySize, const std::string& received,
                    TransferReport& report);

}  // namespace qel
