// Reads and answers real message boxes through a thread-local CBT hook.
#include "boxoffice/box_hook_win32.h"

#include <windows.h>

#include <algorithm>
#include <deque>
#include <stdexcept>

namespace qel::boxoffice {
namespace {

// The hook and timer procedures receive no context of their own; the one
// answerer of the thread is found here.
thread_local BoxHook* threadAnswerer = nullptr;

// The window class of dialog boxes, message boxes included.
constexpr const wchar_t* kDialogClass = L"#32770";
// The library's progress window, whose one child holds its text.
constexpr const wchar_t* kProgressClass = L"QelConnectProgress";
// The static control that holds a message box's text.
constexpr int kMessageTextId = 0xFFFF;
constexpr UINT_PTR kReadTimerId = 0x51E1;

// Every push button that MessageBoxW can create, in ascending id order.
constexpr int kMessageBoxButtons[] = {IDOK,  IDCANCEL, IDABORT, IDRETRY,    IDIGNORE,
                                      IDYES, IDNO,     IDHELP,  IDTRYAGAIN, IDCONTINUE};

std::wstring windowText(HWND window) {
  if (window == nullptr) return {};
  const int length = GetWindowTextLengthW(window);
  std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
  const int copied = GetWindowTextW(window, text.data(), length + 1);
  text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
  return text;
}

std::wstring className(HWND window) {
  wchar_t name[64] = {};
  const int length = GetClassNameW(window, name, static_cast<int>(std::size(name)));
  return std::wstring(name, length > 0 ? static_cast<std::size_t>(length) : 0);
}

bool hasVisibleStyle(HWND window) { return (GetWindowLongW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

// Wine keeps an icon control even in a box without icon, so the control's
// presence says nothing; whether it holds an icon does.
BOOL CALLBACK findIcon(HWND child, LPARAM found) {
  if (_wcsicmp(className(child).c_str(), L"Static") == 0 && SendMessageW(child, STM_GETICON, 0, 0) != 0) {
    *reinterpret_cast<bool*>(found) = true;
    return FALSE;
  }
  return TRUE;
}

// The button that Enter presses: the one drawn as the default push button
// (Wine's boxes answer DM_GETDEFID with IDOK whatever they show), or else
// the dialog's default id.
int defaultButtonOf(HWND box, const std::vector<int>& buttons) {
  for (int id : buttons) {
    if ((GetWindowLongW(GetDlgItem(box, id), GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON) return id;
  }
  const LRESULT defId = SendMessageW(box, DM_GETDEFID, 0, 0);
  return HIWORD(defId) == DC_HASDEFID ? LOWORD(defId) : 0;
}

ShownDialog readBox(HWND box) {
  ShownDialog dialog;
  dialog.caption = windowText(box);
  dialog.text = windowText(GetDlgItem(box, kMessageTextId));
  for (int id : kMessageBoxButtons) {
    HWND button = GetDlgItem(box, id);
    if (button != nullptr && hasVisibleStyle(button)) dialog.buttons.push_back(id);
  }
  EnumChildWindows(box, findIcon, reinterpret_cast<LPARAM>(&dialog.hasIcon));
  dialog.defaultButton = defaultButtonOf(box, dialog.buttons);
  dialog.owner = GetWindow(box, GW_OWNER);
  return dialog;
}

ProgressReport readProgress(HWND window, bool shown, std::size_t boxesBefore) {
  HWND owner = GetWindow(window, GW_OWNER);
  return {shown,
          windowText(window),
          windowText(GetWindow(window, GW_CHILD)),
          owner,
          owner == nullptr || IsWindowEnabled(owner) != 0,
          boxesBefore};
}

}  // namespace

struct BoxHook::Hook {
  // A box's text may still be empty when it activates; a zero-delay timer on
  // the box fires once its modal loop runs, when the box is initialised.
  static LRESULT CALLBACK onCbt(int code, WPARAM wParam, LPARAM lParam) {
    BoxHook* self = threadAnswerer;
    HWND window = reinterpret_cast<HWND>(wParam);
    const bool progressWindow =
        self != nullptr && (code == HCBT_ACTIVATE || code == HCBT_DESTROYWND) && className(window) == kProgressClass;
    if (progressWindow) {
      self->noteProgress(window, code == HCBT_ACTIVATE);
    } else if (self != nullptr && code == HCBT_ACTIVATE && className(window) == kDialogClass) {
      // A box can be activated more than once; it is answered only once.
      if (std::find(self->boxes_.begin(), self->boxes_.end(), window) == self->boxes_.end()) {
        self->boxes_.push_back(window);
        SetTimer(window, kReadTimerId, 0, &Hook::onReadTimer);
      }
    } else if (self != nullptr && code == HCBT_DESTROYWND) {
      self->boxes_.erase(std::remove(self->boxes_.begin(), self->boxes_.end(), window), self->boxes_.end());
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
  }

  static void CALLBACK onReadTimer(HWND box, UINT, UINT_PTR id, DWORD) {
    KillTimer(box, id);
    if (threadAnswerer != nullptr) threadAnswerer->answer(box);
  }
};

BoxHook::BoxHook(AnswerPolicy policy) : policy_(std::move(policy)) {
  if (threadAnswerer != nullptr) throw std::logic_error("this thread already has a BoxHook");
  HHOOK hook = SetWindowsHookExW(WH_CBT, &Hook::onCbt, nullptr, GetCurrentThreadId());
  if (hook == nullptr) throw std::runtime_error("SetWindowsHookExW(WH_CBT) failed");
  hook_ = hook;
  threadAnswerer = this;
}

BoxHook::BoxHook(std::vector<int> script)
    : BoxHook([pending = std::deque<int>(script.begin(), script.end())](const ShownDialog& dialog) mutable {
        if (pending.empty()) return escapeAnswer(dialog);
        const int next = pending.front();
        pending.pop_front();
        return next;
      }) {}

BoxHook::~BoxHook() {
  UnhookWindowsHookEx(static_cast<HHOOK>(hook_));
  threadAnswerer = nullptr;
}

void BoxHook::noteProgress(void* handle, bool shown) {
  HWND window = static_cast<HWND>(handle);
  const auto known = std::find(progressWindows_.begin(), progressWindows_.end(), handle);
  // A window can be activated more than once; it shows only once.
  if (shown && known == progressWindows_.end()) {
    progressWindows_.push_back(handle);
    progress_.push_back(readProgress(window, true, dialogs_.size()));
  } else if (!shown && known != progressWindows_.end()) {
    progressWindows_.erase(known);
    progress_.push_back(readProgress(window, false, dialogs_.size()));
  }
}

void BoxHook::answer(void* window) {
  HWND box = static_cast<HWND>(window);
  ShownDialog dialog = readBox(box);
  // The policy runs inside a window procedure, which no exception may leave.
  try {
    dialog.answer = policy_(dialog);
  } catch (...) {
    dialog.answer = escapeAnswer(dialog);
  }
  dialogs_.push_back(dialog);
  // No button has the id 0: the box ends with it as MessageBoxW's answer,
  // which is what the library sees of a box the system could not show.
  if (dialog.answer == 0) {
    EndDialog(box, 0);
    return;
  }
  PostMessageW(box, WM_COMMAND, MAKEWPARAM(dialog.answer, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(box, dialog.answer)));
}

}  // namespace qel::boxoffice
