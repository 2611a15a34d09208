// TransferProgress: when the progress window of a slow transfer shows, and
// the turns of the thread's messages; the window itself is the platform's.
#include "platform/platform.h"
#include "platform/progress_window.h"

namespace qel::platform {
namespace {

// The innermost transfer of each thread; a host message that calls into the
// library again during a turn starts one inside it.
thread_local TransferProgress* innermost = nullptr;

}  // namespace

TransferProgress::TransferProgress(void* owner, const wchar_t* caption, Text text)
    : owner_(owner),
      caption_(caption),
      text_(text),
      started_(steadyMilliseconds()),
      lastTurn_(started_),
      outer_(innermost) {
  innermost = this;
}

TransferProgress::~TransferProgress() {
  innermost = outer_;
  if (window_ != nullptr) detail::hideProgressWindow(window_);
  if (outer_ == nullptr) detail::endTurns();
}

void TransferProgress::turn() {
  const std::int64_t now = steadyMilliseconds();
  if (now - lastTurn_ < kTransferTurnMs) return;
  lastTurn_ = now;
  const std::int64_t elapsed = now - started_;
  if (elapsed >= kProgressDelayMs) {
    std::wstring text = text_(elapsed);
    if (window_ == nullptr) {
      window_ = detail::showProgressWindow(owner_, caption_, text);
    } else if (text != shownText_) {
      detail::updateProgressWindow(window_, text);
    }
    shownText_ = std::move(text);
  }
  detail::dispatchThreadMessages();
}

void keepTransferAlive() {
  if (innermost != nullptr) innermost->turn();
}

}  // namespace qel::platform
