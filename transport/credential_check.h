// Whether the cash register refuses the configured user name and password,
// asked without booking anything: a GET of the url, which no cash register
// takes as an order, with the credentials a sale sends.
#pragma once

#include <string>

#include "config/connector_config.h"

namespace qel {

struct CredentialResult {
  // The server answered; `status` is its HTTP status.
  bool answered = false;
  long status = 0;
  // Not answered: the message an operator would see for a sale that failed
  // the same way.
  std::wstring failure;

  // 401 and 403 are how an HTTP server refuses credentials; any other answer
  // shows that it did not refuse them for this request.
  bool refused() const { return answered && (status == 401 || status == 403); }
};

class CredentialCheck {
 public:
  explicit CredentialCheck(const ConnectorConfig& config);

  // One GET with the transfer's connection rules, TLS verification and
  // credentials; the answer's body is read and dropped. Throws VubException
  // only where a sale would also end before the network.
  CredentialResult run() const;

 private:
  ConnectorConfig config_;
};

}  // namespace qel
