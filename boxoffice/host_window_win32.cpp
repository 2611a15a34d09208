// HostWindow on Windows: a hidden top-level window, so that the DLL's real
// message boxes have a real owner.
#include <windows.h>

#include "boxoffice/host_window.h"

namespace qel::boxoffice {

HostWindow::HostWindow()
    : window_(CreateWindowExW(0, L"STATIC", L"Host", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                              GetModuleHandleW(nullptr), nullptr)) {}

HostWindow::~HostWindow() {
  if (window_ != nullptr) DestroyWindow(static_cast<HWND>(window_));
}

}  // namespace qel::boxoffice
