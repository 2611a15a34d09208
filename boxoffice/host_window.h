// The box-office application's main window, the owner that the host hands
// to the sale and refund exports.
#pragma once

namespace qel::boxoffice {

class HostWindow {
 public:
  HostWindow();
  ~HostWindow();
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;

  // The window (an HWND); null when it could not be made.
  void* handle() const { return window_; }

 private:
  void* window_ = nullptr;
};

}  // namespace qel::boxoffice
