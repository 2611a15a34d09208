// performInTurns: curl_easy_perform's own loop over a multi handle, with a
// short wait, so that a slow transfer leaves the host's window answering.
#include "transport/transfer_loop.h"

#include <memory>

#include "platform/platform.h"

namespace qel::curl {
namespace {

struct MultiCleanup {
  void operator()(CURLM* multi) const noexcept { curl_multi_cleanup(multi); }
};

// The easy handle taken out of the multi handle on every path, before the
// multi handle goes, so that it can be asked and cleaned up as after
// curl_easy_perform.
class Attached {
 public:
  Attached(CURLM* multi, CURL* handle) : multi_(multi), handle_(handle) {}
  ~Attached() { curl_multi_remove_handle(multi_, handle_); }
  Attached(const Attached&) = delete;
  Attached& operator=(const Attached&) = delete;

 private:
  CURLM* multi_;
  CURL* handle_;
};

// A failure of the loop itself, as curl_easy_perform reports it.
CURLcode loopFailure(CURLMcode code) {
  return code == CURLM_OUT_OF_MEMORY ? CURLE_OUT_OF_MEMORY : CURLE_BAD_FUNCTION_ARGUMENT;
}

}  // namespace

CURLcode performInTurns(CURL* handle) {
  const std::unique_ptr<CURLM, MultiCleanup> multi(curl_multi_init());
  if (!multi) return CURLE_OUT_OF_MEMORY;
  const CURLMcode added = curl_multi_add_handle(multi.get(), handle);
  if (added != CURLM_OK) return loopFailure(added);
  const Attached attached(multi.get(), handle);
  for (;;) {
    int running = 0;
    CURLMcode code = curl_multi_poll(multi.get(), nullptr, 0, platform::kTransferTurnMs, nullptr);
    if (code == CURLM_OK) code = curl_multi_perform(multi.get(), &running);
    if (code != CURLM_OK) return loopFailure(code);
    if (running == 0) {
      int queued = 0;
      if (const CURLMsg* message = curl_multi_info_read(multi.get(), &queued)) return message->data.result;
    }
    platform::keepTransferAlive();
  }
}

}  // namespace qel::curl
