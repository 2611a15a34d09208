// The misbehaving server of the fault tests: the loopback test server with a
// script per test that may answer in part, slowly, never, or end the
// connection with a reset, named the way the fault cases speak of it.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/server_loopback.h"

namespace qel::test {

using FaultConnection = ServerConnection;
using FaultScript = std::function<void(FaultConnection&)>;

class FaultServer {
 public:
  using Start = LoopbackServer::Start;

  explicit FaultServer(FaultScript script, Start start = Start::AfterRequest)
      : server_([script = std::move(script)](const ReceivedRequest&, ServerConnection& c) { script(c); }, start) {}

  // "<scheme>://127.0.0.1:<port>/sap/kasse".
  std::string url(const std::string& scheme = "http") const {
    return scheme + "://127.0.0.1:" + std::to_string(server_.port()) + "/sap/kasse";
  }
  std::uint16_t port() const { return server_.port(); }
  // Connections accepted so far.
  int connections() const { return server_.connections(); }
  // The body of the last request read.
  std::string lastBody() const {
    const std::vector<ReceivedRequest> requests = server_.requests();
    return requests.empty() ? std::string() : requests.back().body;
  }

 private:
  LoopbackServer server_;
};

}  // namespace qel::test
