// What each side of the platform layer gives TransferProgress: the window
// itself and the turn of the thread's messages. Private to platform/.
#pragma once

#include <string>

namespace qel::platform::detail {

// Shows the progress window with `caption` and `text` over `owner` and
// returns what hideProgressWindow needs to take it away again (never null).
void* showProgressWindow(void* owner, const wchar_t* caption, const std::wstring& text);
void updateProgressWindow(void* window, const std::wstring& text);
// Takes the window away and frees `window`.
void hideProgressWindow(void* window) noexcept;

// Dispatches the messages that wait for the calling thread (Windows); the
// development library has none.
void dispatchThreadMessages();
// After the outermost transfer of the thread: gives back what the turns
// kept from the host (Windows: a WM_QUIT, posted again).
void endTurns() noexcept;

}  // namespace qel::platform::detail
