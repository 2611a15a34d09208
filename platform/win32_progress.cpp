// The progress window on Windows: a small captioned window without buttons
// over the host's top-level window, kept inside the work area of its
// monitor; the owner made modal from the first turn, as under a message box;
// and the turns in which the thread's messages, but not its input, are
// dispatched.
#include <windows.h>

#include <algorithm>
#include <memory>

#include "platform/platform.h"
#include "platform/progress_window.h"
#include "platform/win32_calls.h"

namespace qel::platform {
namespace {

constexpr const wchar_t* kWindowClass = L"QelConnectProgress";
constexpr int kClientWidth = 380;
constexpr int kClientHeight = 72;
constexpr int kMargin = 12;
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION;
constexpr DWORD kExtendedStyle = WS_EX_DLGMODALFRAME;

// A WM_QUIT taken from the queue during a turn ends no transfer: it is
// kept and posted again when the host's call is over, after its last
// question, as a modal loop does.
thread_local bool quitTaken = false;
thread_local WPARAM quitCode = 0;

struct Window {
  HWND window = nullptr;
  HWND label = nullptr;
};

// The thread's keyboard and mouse messages, client and non-client: what a
// disabled window would not receive. A modal transfer drops them all, as
// Wine leaves the keyboard focus on a child of a disabled window, and the
// progress window must not be dragged (a move loop would stall the
// transfer).
struct MessageRange {
  UINT first;
  UINT last;
};
constexpr MessageRange kInput[] = {
    {WM_KEYFIRST, WM_KEYLAST},
    {WM_MOUSEFIRST, WM_MOUSELAST},
    {WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK},
};

bool isInput(UINT message) {
  return std::any_of(std::begin(kInput), std::end(kInput),
                     [message](const MessageRange& r) { return message >= r.first && message <= r.last; });
}

// The window that a message box owned by `owner` disables: the top-level
// window that holds it, which is `owner` itself when that is one.
HWND topLevel(void* owner) {
  const HWND window = static_cast<HWND>(owner);
  return window != nullptr && IsWindow(window) ? GetAncestor(window, GA_ROOT) : nullptr;
}

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

// The work area (the screen without the task bar) of the monitor that
// `owner` is on, or of the primary monitor.
RECT workArea(HWND owner) {
  const HMONITOR monitor = owner != nullptr ? MonitorFromWindow(owner, MONITOR_DEFAULTTOPRIMARY)
                                            : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
  MONITORINFO info{};
  info.cbSize = sizeof info;
  if (GetMonitorInfoW(monitor, &info)) return info.rcWork;
  return RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
}

// The start of a span of `size` centred over [from, to), moved into
// [low, high) as far as it fits; one larger than that starts at `low`.
LONG centredInside(LONG from, LONG to, LONG size, LONG low, LONG high) {
  const LONG centred = from + (to - from - size) / 2;
  return std::max(low, std::min(centred, high - size));
}

// The window's frame for its client size, centred over the owner (without
// one, over the screen) and kept inside the work area of the owner's
// monitor, so that an owner near an edge or partly off the screen still
// leaves the whole window in sight.
RECT placement(HWND owner) {
  RECT frame{0, 0, kClientWidth, kClientHeight};
  AdjustWindowRectEx(&frame, kStyle, FALSE, kExtendedStyle);
  const LONG width = frame.right - frame.left;
  const LONG height = frame.bottom - frame.top;
  const RECT work = workArea(owner);
  RECT over = work;
  if (owner != nullptr) GetWindowRect(owner, &over);
  const LONG left = centredInside(over.left, over.right, width, work.left, work.right);
  const LONG top = centredInside(over.top, over.bottom, height, work.top, work.bottom);
  return RECT{left, top, left + width, top + height};
}

}  // namespace

namespace detail {

void* disableOwner(void* owner) {
  const HWND window = topLevel(owner);
  if (window == nullptr || !IsWindowEnabled(window)) return nullptr;
  EnableWindow(window, FALSE);
  return window;
}

void endModal(void* disabled) noexcept {
  // Input that came after the last turn would reach the host as soon as the
  // call returns; a message box's loop would have taken it too.
  MSG message;
  for (const MessageRange& range : kInput) {
    while (PeekMessageW(&message, nullptr, range.first, range.last, PM_REMOVE)) {
    }
  }
  if (disabled != nullptr) EnableWindow(static_cast<HWND>(disabled), TRUE);
}

void* showProgressWindow(void* owner, const wchar_t* caption, const std::wstring& text) {
  auto shown = std::make_unique<Window>();
  const HWND ownerWindow = topLevel(owner);
  const HINSTANCE instance = ownInstance();
  registerClass(instance);
  const RECT frame = placement(ownerWindow);
  shown->window =
      CreateWindowExW(kExtendedStyle, kWindowClass, caption, kStyle, frame.left, frame.top, frame.right - frame.left,
                      frame.bottom - frame.top, ownerWindow, nullptr, instance, nullptr);
  // Without a window the transfer goes on all the same; its messages still
  // flow.
  if (shown->window == nullptr) return shown.release();
  shown->label = CreateWindowExW(0, L"STATIC", text.c_str(), WS_CHILD | WS_VISIBLE | SS_CENTER | SS_CENTERIMAGE,
                                 kMargin, kMargin, kClientWidth - 2 * kMargin, kClientHeight - 2 * kMargin,
                                 shown->window, nullptr, instance, nullptr);
  SendMessageW(shown->label, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
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
  // An owner destroyed during the transfer took the window with it.
  if (shown->window != nullptr && IsWindow(shown->window)) DestroyWindow(shown->window);
}

void dispatchThreadMessages() {
  MSG message;
  while (!quitTaken && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quitTaken = true;
      quitCode = message.wParam;
      break;
    }
    if (isInput(message.message)) continue;
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

std::int64_t steadyMilliseconds() { return static_cast<std::int64_t>(detail::win32Calls.GetTickCount64()); }

}  // namespace qel::platform
