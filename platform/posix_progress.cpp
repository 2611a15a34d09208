// The progress window on the development library: its showing and its going
// are reported to the dialog seam, on the thread of the transfer.
#include <time.h>

#include <memory>

#include "platform/dialog_handler.h"
#include "platform/platform.h"
#include "platform/posix_calls.h"
#include "platform/progress_window.h"

namespace qel::platform {
namespace detail {

// The handler set now, null for none (posix.cpp).
QelDialogHandler currentDialogHandler();

namespace {

// What was reported as shown, to be reported again as hidden.
struct ReportedWindow {
  void* owner;
  const wchar_t* caption;
  std::wstring text;
};

void report(const ReportedWindow& window, unsigned int type) {
  // The answer to a report means nothing; without a handler nothing is
  // printed, so that a slow transfer leaves standard error as it was.
  if (QelDialogHandler handler = currentDialogHandler()) {
    handler(window.owner, window.text.c_str(), window.caption, type);
  }
}

}  // namespace

// The development library has no windows to disable and no input to drop.
void* disableOwner(void*) { return nullptr; }
void endModal(void*) noexcept {}

void* showProgressWindow(void* owner, const wchar_t* caption, const std::wstring& text) {
  auto window = std::make_unique<ReportedWindow>(ReportedWindow{owner, caption, text});
  report(*window, QEL_DIALOG_PROGRESS_SHOWN);
  return window.release();
}

// The seam learns of the window once: its text when it showed.
void updateProgressWindow(void*, const std::wstring&) {}

void hideProgressWindow(void* window) noexcept {
  std::unique_ptr<ReportedWindow> reported(static_cast<ReportedWindow*>(window));
  report(*reported, QEL_DIALOG_PROGRESS_HIDDEN);
}

void dispatchThreadMessages() {}
void endTurns() noexcept {}

}  // namespace detail

std::int64_t steadyMilliseconds() {
  timespec now{};
  detail::posixCalls.clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

}  // namespace qel::platform
