// What one message box of the library showed and how the host answered it.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace qel::boxoffice {

// Button ids as MessageBoxW returns them.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdYes = 6;
constexpr int kIdNo = 7;

struct ShownDialog {
  std::wstring caption;
  std::wstring text;
  // Control ids of the box's push buttons (IDOK, IDCANCEL, IDYES, ...), in
  // ascending order.
  std::vector<int> buttons;
  bool hasIcon = false;
  // The box's owner window (an HWND natively passed on as given), null for
  // an unowned box.
  void* owner = nullptr;
  // MB_ style bits beyond the buttons and the icon. Only the development
  // library's dialog seam hands them over; a real box cannot be asked.
  unsigned int otherStyle = 0;
  int answer = 0;
  // The button that Enter presses (its control id).
  int defaultButton = 0;
};

// The progress window of a slow transfer appearing or going.
struct ProgressReport {
  bool shown = false;
  std::wstring caption;
  std::wstring text;
  void* owner = nullptr;
  // Whether the owner took input at that moment (Windows; natively true).
  bool ownerEnabled = true;
  // How many boxes had been answered by then.
  std::size_t boxesBefore = 0;
};

// Picks the button for a box from what it shows.
using AnswerPolicy = std::function<int(const ShownDialog&)>;

// The button that Escape presses on `dialog`: Cancel where the box has it,
// else OK; also the answer when a policy fails.
int escapeAnswer(const ShownDialog& dialog);

}  // namespace qel::boxoffice
