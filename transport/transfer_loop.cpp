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
using MultiHandle = std::unique_ptr<CURLM, MultiCleanup>;

// The thread's multi handle between two transfers. Making one costs its
// wake-up pair (a socket pair, on Windows an event), hash tables and an
// internal easy handle, which a host pays for every sale otherwise. Nothing
// of a transfer stays in it: its connection is closed when the transfer ends
// and its host names are looked up again for the next one.
thread_local MultiHandle idleMulti;

// The thread's idle multi handle for the length of one transfer, given back
// at its end. A transfer started inside another's turn finds none and makes
// its own, which it leaves for the next when the outer one has gone.
class BorrowedMulti {
 public:
  BorrowedMulti() : multi_(idleMulti ? std::move(idleMulti) : MultiHandle(curl_multi_init())) {}
  ~BorrowedMulti() {
    if (!idleMulti) idleMulti = std::move(multi_);
  }
  BorrowedMulti(const BorrowedMulti&) = delete;
  BorrowedMulti& operator=(const BorrowedMulti&) = delete;

  CURLM* get() const { return multi_.get(); }

 private:
  MultiHandle multi_;
};

// The easy handle taken out of the multi handle on every path, so that it
// can be asked and cleaned up as after curl_easy_perform.
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
  const BorrowedMulti multi;
  if (multi.get() == nullptr) return CURLE_OUT_OF_MEMORY;
  // What a multi handle of its own would give the transfer: a connection
  // closed when it ends and no address remembered from an earlier transfer.
  // Both are plain numbers, which libcurl always takes.
  curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(handle, CURLOPT_DNS_CACHE_TIMEOUT, 0L);
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
