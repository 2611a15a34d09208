// The relay's side towards the real cash register: one HTTP(S) request over
// libcurl with the headers given, the certificate verified, the answer kept
// exactly as it came.
#pragma once

#include <atomic>
#include <string>
#include <utility>
#include <vector>

namespace qel::sim {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct UpstreamRequest {
  std::string method;
  HeaderList headers;  // sent as given; libcurl adds Host and Content-Length
  std::string body;
};

struct UpstreamAnswer {
  // False when no complete answer arrived (connect, TLS, time-out, size);
  // `failure` then says why.
  bool delivered = false;
  std::string failure;
  long status = 0;
  std::string statusLine;  // as received, without the line end
  HeaderList headers;      // as received, in order
  std::string body;
  double seconds = 0.0;  // from the start of the request to its end
};

class UpstreamClient {
 public:
  // `caFile` empty: the system's CA store. Initialises libcurl, so it is made
  // before any other thread runs.
  UpstreamClient(std::string url, std::string caFile);
  ~UpstreamClient();
  UpstreamClient(const UpstreamClient&) = delete;
  UpstreamClient& operator=(const UpstreamClient&) = delete;

  // Safe to call from several threads at once; each call has its own
  // connection.
  UpstreamAnswer send(const UpstreamRequest& request) const;

  // Makes every running and later send give up at once.
  void abort() { aborted_ = true; }

  const std::string& url() const { return url_; }

 private:
  const std::string url_;
  const std::string caFile_;
  std::atomic<bool> aborted_{false};
};

}  // namespace qel::sim
