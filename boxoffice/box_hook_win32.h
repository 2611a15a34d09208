// Answers the real MessageBoxW boxes of the calling thread without a user,
// recording what each box showed; the Windows side of BoxAnswerer.
#pragma once

#include <vector>

#include "boxoffice/shown_dialog.h"

namespace qel::boxoffice {

// While alive, every message box that the constructing thread shows is read,
// recorded and answered: a thread-local WH_CBT hook sees the box activate, a
// timer inside the box's modal loop reads it once it is initialised, and a
// posted WM_COMMAND presses the chosen button. The same hook records the
// library's progress window as it shows and goes. One hook per thread.
class BoxHook {
 public:
  // Answers each box through `policy`.
  explicit BoxHook(AnswerPolicy policy);
  // Answers the boxes with `script` in order; a box beyond the script is
  // answered as the Escape key would.
  explicit BoxHook(std::vector<int> script = {});
  ~BoxHook();
  BoxHook(const BoxHook&) = delete;
  BoxHook& operator=(const BoxHook&) = delete;

  // Every box answered so far, oldest first.
  const std::vector<ShownDialog>& dialogs() const { return dialogs_; }
  // The progress window's appearances and goings, oldest first.
  const std::vector<ProgressReport>& progress() const { return progress_; }

 private:
  struct Hook;

  void answer(void* window);
  void noteProgress(void* window, bool shown);

  AnswerPolicy policy_;
  std::vector<ShownDialog> dialogs_;
  std::vector<ProgressReport> progress_;
  // The progress windows seen showing and not yet gone (HWNDs).
  std::vector<void*> progressWindows_;
  // The boxes seen activating and not yet destroyed (HWNDs).
  std::vector<void*> boxes_;
  // The thread's CBT hook (an HHOOK).
  void* hook_ = nullptr;
};

}  // namespace qel::boxoffice
