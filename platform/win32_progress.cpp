// The progress window on Windows: a small captioned window without buttons
// over the host's window, which it disables like a message box does, and
// the turns in which the thread's messages are dispatched.
#include <windows.h>

#include <memory>

#include "platform/platform.h"
#include "platform/progress_window.h"

namespace qel::platform {
namespace {

constexpr const wchar_t* kWindowClass = L"QelConnectProgress";
constexpr int kClientWidth = 380;
constexpr int kClientHeight = 72;
constexpr int kMargin = 12;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION;
constexpr DWORD kExtendedStyle = WS_EX_DLGMODALFRAME;

// A WM_QUIT taken from the queue during a turn ends no transfer: it is
// kept and posted again when the outermost transfer of the thread is over,
// as a modal loop does.
thread_local bool quitTaken = false;
thread_local WPARAM quitCode = 0;

struct Window {
  HWND window = nullptr;
  HWND label = nullptr;
  HWND owner = nullptr;
  bool ownerDisabled = false;
};

// The window has no button, and neither Alt+F4 nor the task list closes it:
// a transfer stopped halfway would leave the sale in doubt.
LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CLOSE) return 0;
  return DefWindowProcW(window, message, wParam, lParam);
}

HINSTANCE ownInstance() {
  HMODULE module = nullptr;
  const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
  GetModuleHandleExW(flags, reinterpret_cast<LPCWSTR>(&windowProcedure), &module);
  return module;
}

// The class names a procedure of this module, which therefore stays mapped
// for the rest of the process once the class exists.
void registerClass(HINSTANCE instance) {
  pinModule();
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &windowProcedure;
  windowClass.hInstance = instance;
  windowClass.hCursor = nullptr;
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = kWindowClass;
  // A class registered before (by an earlier window) is just as good.
  RegisterClassExW(&windowClass);
}

// The window's frame for its client size, centred over the owner or, without
// one, over the screen.
RECT placement(HWND owner) {
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExtendedStyle);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  RECT over{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
  if (owner != nullptr) GetWindowRect(owner, &over);
  const int left = over.left + (over.right - over.left - width) / 2;
  const int top = over.top + (over.bottom - over.top - height) / 2;
  return RECT{left, top, left + width, top + height};
}

}  // namespace

namespace detail {

void* showProgressWindow(void* owner, const wchar_t* caption, const std::wstring& text) {
  auto shown = std::make_unique<Window>();
  shown->owner = static_cast<HWND>(owner);
  const HINSTANCE instance = ownInstance();
  registerClass(instance);
  const RECT frame = placement(shown->owner);
  shown->window =
      CreateWindowExW(kExtendedStyle, kWindowClass, caption, kStyle, frame.left, frame.top, frame.right - frame.left,
                      frame.bottom - frame.top, shown->owner, nullptr, instance, nullptr);
  // Without a window the transfer goes on all the same; its messages still
  // flow.
  if (shown->window == nullptr) return shown.release();
  shown->label = CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE,
                                 kMargin, kMargin, kClientWidth - 2 * kMargin, kClientHeight - 2 * kMargin,
                                 shown->window, nullptr, instance, nullptr);
  SendMessageW(shown->label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
  // Modal like a message box: the owner takes no input while it shows. An
  // owner that was disabled already (by a box of an outer call) is left so.
  if (shown->owner != nullptr && IsWindowEnabled(shown->owner)) {
    EnableWindow(shown->owner, FALSE);
    shown->ownerDisabled = true;
  }
  ShowWindow(shown->window, SW_SHOW);
  UpdateWindow(shown->window);
  return shown.release();
}

void updateProgressWindow(void* window, const std::wstring& text) {
  const auto* shown = static_cast<const Window*>(window);
  if (shown->label != nullptr) SetWindowTextW(shown->label, text.c_str());
}

void hideProgressWindow(void* window) noexcept {
  std::unique_ptr<Window> shown(static_cast<Window*>(window));
  if (shown->window == nullptr) return;
  // The owner is enabled before the window goes, so that Windows hands the
  // activation back to it rather than to another program.
  if (shown->ownerDisabled) EnableWindow(shown->owner, TRUE);
  DestroyWindow(shown->window);
}

void dispatchThreadMessages() {
  MSG message;
  while (!quitTaken && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quitTaken = true;
      quitCode = message.wParam;
      break;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

void endTurns() noexcept {
  if (!quitTaken) return;
  quitTaken = false;
  PostQuitMessage(static_cast<int>(quitCode));
}

}  // namespace detail

std::int64_t steadyMilliseconds() { return static_cast<std::int64_t>(GetTickCount64()); }

}  // namespace qel::platform
