// Whether the cash register can be reached from here: its host resolved, a
// connection made and the TLS handshake completed with the settings of a
// real transfer, without sending a request.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/connector_config.h"

namespace qel {

// The stages of reaching the cash register, in the order in which they happen.
enum class ConnectionStage { Resolve, Connect, Handshake };

enum class StageOutcome {
  Passed,
  Failed,
  NotReached,  // an earlier stage failed
  NotNeeded,   // plain HTTP has no handshake
};

struct StageResult {
  ConnectionStage stage;
  StageOutcome outcome;
  // Passed: what was reached (host and address, address and port, the trust
  // the certificate was checked against). Failed: the message an operator
  // would see for a sale that failed at this stage.
  std::wstring detail;
  // libcurl's result for the failed stage, as a sale's VubException carries
  // it; 0 for every other outcome.
  std::int32_t code = 0;
  // A passed handshake whose server certificate has no subjectAltName
  // extension: libcurl with OpenSSL then matches the host against the
  // common name, Schannel refuses the certificate.
  bool withoutSubjectAltName = false;
};

class ConnectionCheck {
 public:
  // The check uses the configuration's url and caFile; credentials are not
  // needed, since nothing is sent.
  explicit ConnectionCheck(const ConnectorConfig& config);

  // One result per stage, in order. A stage that fails is reported, not
  // thrown; VubException comes only from what would end a sale before the
  // network as well (libcurl cannot be initialised or refuses an option).
  std::vector<StageResult> run() const;

  static bool allPassed(const std::vector<StageResult>& results);

 private:
  std::wstring url_;
  std::wstring caFile_;
};

}  // namespace qel
