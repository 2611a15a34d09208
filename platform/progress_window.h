// What each side of the platform layer gives TransferProgress: the window
// itself, the owner made modal and the turn of the thread's messages.
// Private to platform/.
#pragma once

#include <string>

namespace qel::platform::detail {

// Before the first turn dispatches anything: disables the top-level window
// of `owner`, as a message box does, and returns it; null when there is none
// or it was disabled already (by a box or transfer further out, which
// enables it again itself).
void* disableOwner(void* owner);
// After the last turn: drops the thread's keyboard and mouse input that is
// still queued, then enables `disabled` (from disableOwner) again.
void endModal(void* disabled) noexcept;

// Shows the progress window with `caption` and `text` over `owner` and
// returns what hideProgressWindow needs to take it away again (never null).
void* showProgressWindow(void* owner, const wchar_t* caption, const std::wstring& text);
void updateProgressWindow(void* window, const std::wstring& text);
// Takes the window away and frees `window`.
void hideProgressWindow(void* window) noexcept;

// Dispatches the messages that wait for the calling thread, all but its
// keyboard and mouse input, which is dropped (Windows); the development
// library has none.
void dispatchThreadMessages();
// When the outermost HostCall or TransferProgress of the thread is over:
// gives back what the turns kept from the host (Windows: a WM_QUIT, posted
// again).
void endTurns() noexcept;

}  // namespace qel::platform::detail
