// A box office's main window as an operator sees it, for the Windows tests
// that drive the library with real input: shown, active, with the keyboard
// focus on a control inside it, and a record of every key, click and close
// that reached it. Alt+F4 and WM_CLOSE destroy it, as in a box office.
#pragma once

#include <windows.h>

#include <vector>

namespace qel::boxoffice {

class BoxOffice {
 public:
  // Shows the window with its frame at (left, top), `width` by `height`,
  // activates it and puts the focus on its control.
  BoxOffice(int left = 200, int top = 150, int width = 400, int height = 300);
  ~BoxOffice();
  BoxOffice(const BoxOffice&) = delete;
  BoxOffice& operator=(const BoxOffice&) = delete;

  HWND window() const { return window_; }
  // The control inside it (a child window), which takes the focus whenever
  // the window is activated.
  HWND control() const { return control_; }
  bool alive() const { return IsWindow(window_) != FALSE; }
  // The keyboard, mouse and close messages that reached the window or its
  // control, in order.
  const std::vector<UINT>& received() const { return received_; }

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  HWND control_ = nullptr;
  std::vector<UINT> received_;
};

}  // namespace qel::boxoffice
