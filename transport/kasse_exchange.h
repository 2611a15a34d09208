// One transfer of an order to the SAP cash register: the SOAP envelope, the
// POST and the judgement of the answer.
#pragma once

#include <cstdint>
#include <string>

#include "config/connector_config.h"
#include "order/order.h"
#include "render/text_buffer.h"
#include "transport/transfer_report.h"

namespace qel {

struct KasseResponse {
  std::int32_t rect = 0;
  std::wstring rectmsg;
};

class KasseExchange {
 public:
  explicit KasseExchange(ConnectorConfig config) : config_(std::move(config)) {}

  // Returns `response` when the cash register accepted the order (Rect 0);
  // throws VubException otherwise. With a `report`, what happened on the
  // wire and the outcome are recorded there, whatever the end.
  KasseResponse& transfer(const Order& order, KasseResponse& response, TransferReport* report = nullptr);

 private:
  ConnectorConfig config_;
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

}  // namespace qel
