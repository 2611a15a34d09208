// kasse-sim's relay mode: passes each request on to the real cash register
// and its answer back, unchanged, and records both for support.
#pragma once

#include <httplib.h>

#include <atomic>
#include <mutex>
#include <string>

#include "tools/kasse-sim/upstream_client.h"

namespace qel::sim {

class Relay {
 public:
  // `caFile` empty: the system's CA store checks an HTTPS cash register.
  Relay(std::string url, std::string caFile, std::string recordDir);

  void install(httplib::Server& server);

  // Ends the requests that are still waiting for the cash register.
  void stop() { upstream_.abort(); }

 private:
  void forward(const httplib::Request& request, httplib::Response& response);
  UpstreamAnswer gatewayFailure(const UpstreamAnswer& failed) const;
  void recordRequest(const std::string& stem, const httplib::Request& request) const;
  void recordAnswer(const std::string& stem, const UpstreamAnswer& answer) const;
  void log(const httplib::Request& request, const UpstreamAnswer& answer);

  UpstreamClient upstream_;
  const std::string recordDir_;
  std::atomic<unsigned long> requestCount_{0};
  std::mutex logMutex_;
};

}  // namespace qel::sim
