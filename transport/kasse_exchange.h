// One transfer of an order to the SAP cash register: the SOAP envelope, the
// POST and the judgement of the answer.
#pragma once

#include <cstdint>
#include <string>

#include "config/connector_config.h"
#include "order/order.h"
#include "render/text_buffer.h"
#include "transport/http_client.h"
#include "transport/transfer_report.h"

namespace qel {

struct KasseResponse {
  std::int32_t rect = 0;
  std::wstring rectmsg;
};

class KasseExchange {
 public:
  explicit KasseExchange(ConnectorConfig config) : config_(std::move(config)) {}

  // Everything that can fail without the network, so that a missing
  // template or a password that cannot be decrypted ends the transfer
  // before anything is sent: the envelope for `order` and the client with
  // its credentials and headers. The request goes to `report` when it keeps
  // bodies.
  void prepare(const Order& order, TransferReport& report);
  // Posts the prepared request. Returns `response` when the cash register
  // accepted the order (Rect 0); throws VubException otherwise. What
  // happened on the wire and what came back are recorded in `report`,
  // whatever the end; judgeTransfer says what that proves.
  KasseResponse& send(KasseResponse& response, TransferReport& report);
  // prepare and send in one, for a caller with nothing to do in between.
  KasseResponse& transfer(const Order& order, KasseResponse& response);

 private:
  ConnectorConfig config_;
  TextBuffer envelope_;
  HttpClient client_;
};

// The request body for `order`: the envelope around the order document,
// without line breaks and tabs, in UTF-8. Exposed for tests and benchmarks.
TextBuffer buildEnvelope(const Order& order);

// Judges a response body as its bytes arrived: resets `response`, then fills
// it from the answer. Throws VubException unless the answer is well-formed
// and its Rect is 0. Valid UTF-8 goes to the parser as it is, other bytes
// are read with the ANSI code page; the body is decoded for a message only
// when one is raised. Exposed for tests and fuzzing.
void evaluateResponseBytes(const std::string& bytes, KasseResponse& response);

// True when `bytes` is the service's own SOAP fault: an env:Fault in the
// env:Body of an env:Envelope, names matched as in an answer.
bool isServiceFault(const std::string& bytes);

}  // namespace qel
