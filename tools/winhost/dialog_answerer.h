// Answers the real MessageBoxW dialogs of the calling thread without a user,
// recording what each box showed; for Windows test hosts.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qel::winhost {

// Button ids as MessageBoxW returns them.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;

// What one message box showed, read from its window once its modal loop
// runs, and the button that answered it.
struct ShownDialog {
  std::wstring caption;
  std::wstring text;
  // Control ids of the box's push buttons (IDOK, IDCANCEL, IDYES, ...), in
  // ascending order.
  std::vector<int> buttons;
  bool hasIcon = false;
  // The box's owner window (an HWND), null for an unowned box.
  void* owner = nullptr;
  int answer = 0;
};

// Picks the button for a box from what it shows.
using AnswerPolicy = std::function<int(const ShownDialog&)>;

// While alive, every message box that the constructing thread shows is read,
// recorded and answered: a thread-local WH_CBT hook sees the box activate, a
// timer inside the box's modal loop reads it once it is initialised, and a
// posted WM_COMMAND presses the chosen button. One answerer per thread.
class DialogAnswerer {
 public:
  // Answers each box through `policy`.
  explicit DialogAnswerer(AnswerPolicy policy);
  // Answers the boxes with `script` in order; a box beyond the script is
  // answered as the Escape key would (Cancel where the box has it, else OK).
  explicit DialogAnswerer(std::vector<int> script = {});
  ~DialogAnswerer();
  DialogAnswerer(const DialogAnswerer&) = delete;
  DialogAnswerer& operator=(const DialogAnswerer&) = delete;

  // Every box answered so far, oldest first.
  const std::vector<ShownDialog>& dialogs() const { return dialogs_; }

  // The button that Escape presses on `dialog`.
  static int escapeAnswer(const ShownDialog& dialog);

 private:
  struct Hook;

  void answer(void* window);

  AnswerPolicy policy_;
  std::vector<ShownDialog> dialogs_;
  // The boxes seen activating and not yet destroyed (HWNDs).
  std::vector<void*> boxes_;
  // The thread's CBT hook (an HHOOK).
  void* hook_ = nullptr;
};

}  // namespace qel::winhost
