// TransferProgress: when the progress window of a slow transfer shows, when
// the owner is made modal, and the turns of the thread's messages; the
// window itself is the platform's. HostCall: how long a WM_QUIT is kept.
#include "platform/platform.h"
#include "platform/progress_window.h"

namespace qel::platform {
namespace {

// The innermost transfer of each thread; a host message that calls into the
// library again during a turn starts one inside it.
thread_local TransferProgress* innermost = nullptr;
// The HostCalls alive on the thread.
thread_local int hostCalls = 0;

}  // namespace

HostCall::HostCall() { ++hostCalls; }

HostCall::~HostCall() {
  if (--hostCalls == 0 && innermost == nullptr) detail::endTurns();
}

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
  // Enabled before the window goes, so that Windows hands the activation
  // back to the owner rather than to another program.
  if (turned_) detail::endModal(disabledOwner_);
  if (window_ != nullptr) detail::hideProgressWindow(window_);
  if (outer_ == nullptr && hostCalls == 0) detail::endTurns();
}

void TransferProgress::turn() {
  const std::int64_t now = steadyMilliseconds();
  if (now - lastTurn_ < kTransferTurnMs) return;
  lastTurn_ = now;
  if (!turned_) {
    turned_ = true;
    disabledOwner_ = detail::disableOwner(owner_);
  }
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
