// BoxOffice: one window class for the window and its control, whose
// procedure records what reaches either.
#include "boxoffice/box_office_win32.h"

#include <stdexcept>

namespace qel::boxoffice {
namespace {

constexpr const wchar_t* kClass = L"QelTestBoxOffice";

bool recorded(UINT message) {
  return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
         (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST && message != WM_MOUSEMOVE) ||
         (message >= WM_NCLBUTTONDOWN && message <= WM_NCXBUTTONDBLCLK) || message == WM_CLOSE ||
         message == WM_SYSCOMMAND;
}

void registerClass() {
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = DefWindowProcW;
  windowClass.hInstance = GetModuleHandleW(nullptr);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = kClass;
  // Registered once per process; a second registration fails harmlessly.
  RegisterClassExW(&windowClass);
}

}  // namespace

BoxOffice::BoxOffice(int left, int top, int width, int height) {
  registerClass();
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  window_ = CreateWindowExW(0, kClass, L"Kasse", WS_OVERLAPPEDWINDOW, left, top, width, height, nullptr, nullptr,
                            instance, nullptr);
  if (window_ == nullptr) throw std::runtime_error("the box office's window could not be made");
  control_ = CreateWindowExW(0, kClass, L"Verkaufen", WS_CHILD | WS_VISIBLE, 20, 20, 160, 60, window_, nullptr,
                             instance, nullptr);
  SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(control_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BoxOffice::procedure));
  SetWindowLongPtrW(control_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BoxOffice::procedure));
  ShowWindow(window_, SW_SHOW);
  SetForegroundWindow(window_);
  SetFocus(control_);
}

BoxOffice::~BoxOffice() {
  if (alive()) DestroyWindow(window_);
}

LRESULT CALLBACK BoxOffice::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<BoxOffice*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self != nullptr && recorded(message)) self->received_.push_back(message);
  // Like a dialog, the window hands the focus to its control whenever it
  // becomes active again (after a message box, say).
  if (self != nullptr && window == self->window_ && message == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) {
    SetFocus(self->control_);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace qel::boxoffice
