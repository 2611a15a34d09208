// The progress window and the modal transfer on Windows, on the test clock:
// where the window lies with its owner at each edge of the screen, which
// window a child owner leaves disabled, and what a turn dispatches.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tests/support/test_clock.h"

namespace {

namespace platform = qel::platform;
using qel::test::TestClock;

constexpr std::int64_t kStart = 1000000;

std::wstring text(std::int64_t) { return L"\u00dcbertragung"; }

// A plain top-level window (frame at `left`, `top`, 400 by 300) with one child.
class Owner {
 public:
  Owner(int left, int top)
      : window_(CreateWindowExW(0, L"STATIC", L"Kasse", WS_OVERLAPPEDWINDOW, left, top, 400, 300, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr)),
        child_(CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 10, 10, 50, 20, window_, nullptr,
                               GetModuleHandleW(nullptr), nullptr)) {}
  ~Owner() { DestroyWindow(window_); }
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;
  HWND window() const { return window_; }
  HWND child() const { return child_; }

 private:
  HWND window_;
  HWND child_;
};

HWND progressWindow() { return FindWindowW(L"QelConnectProgress", nullptr); }

RECT primaryWorkArea() {
  MONITORINFO info{};
  info.cbSize = sizeof info;
  GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &info);
  return info.rcWork;
}

// Where the window lies along one axis: centred over the owner, or against
// the near or the far edge of the work area.
enum class At { Centred, Low, High };

LONG expectedStart(At at, LONG ownerFrom, LONG ownerTo, LONG size, LONG low, LONG high) {
  if (at == At::Low) return low;
  if (at == At::High) return high - size;
  return ownerFrom + (ownerTo - ownerFrom - size) / 2;
}

TEST(Win32ProgressWindow, LiesInsideTheWorkAreaWhereverTheOwnerIs) {
  const RECT work = primaryWorkArea();
  const LONG middleX = (work.left + work.right) / 2 - 200;
  const LONG middleY = (work.top + work.bottom) / 2 - 150;
  const struct {
    const char* name;
    LONG left;
    LONG top;
    At horizontal;
    At vertical;
  } cases[] = {
      {"Middle", middleX, middleY, At::Centred, At::Centred},
      {"PartlyOffTheLeftEdge", work.left - 300, middleY, At::Low, At::Centred},
      {"AtTheRightEdge", work.right - 100, middleY, At::High, At::Centred},
      {"PartlyOffTheTop", middleX, work.top - 280, At::Centred, At::Low},
      {"AtTheBottom", middleX, work.bottom - 20, At::Centred, At::High},
      {"WhollyOffTheScreen", work.left - 3000, work.top - 3000, At::Low, At::Low},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Owner owner(c.left, c.top);
    RECT ownerFrame{};
    GetWindowRect(owner.window(), &ownerFrame);
    TestClock clock(kStart);
    const platform::TransferProgress progress(owner.window(), L"Transaktionsfenster", &text);
    clock.set(kStart + platform::kProgressDelayMs);
    platform::keepTransferAlive();
    const HWND window = progressWindow();
    ASSERT_NE(window, nullptr);
    RECT frame{};
    GetWindowRect(window, &frame);
    const LONG width = frame.right - frame.left;
    const LONG height = frame.bottom - frame.top;
    EXPECT_EQ(frame.left, expectedStart(c.horizontal, ownerFrame.left, ownerFrame.right, width, work.left, work.right));
    EXPECT_EQ(frame.top, expectedStart(c.vertical, ownerFrame.top, ownerFrame.bottom, height, work.top, work.bottom));
    EXPECT_GE(frame.left, work.left);
    EXPECT_LE(frame.right, work.right);
    EXPECT_GE(frame.top, work.top);
    EXPECT_LE(frame.bottom, work.bottom);
  }
}

// The owner's top-level window is disabled from the first turn to the end,
// whatever window of it the host passes, and the window is its own; a
// transfer over before its first turn disables nothing, and one under a
// window disabled already leaves it so.
TEST(Win32ProgressWindow, DisablesTheOwnersTopLevelWindowFromTheFirstTurn) {
  const struct {
    const char* name;
    bool childOwner;
    bool disabledBefore;
    std::vector<std::int64_t> turns;
    bool disabledFromTheFirstTurn;
    bool enabledAfter;
  } cases[] = {
      {"TopLevelOwner", false, false, {49, 50, 500, 1000}, true, true},
      {"ChildOwner", true, false, {49, 50, 500, 1000}, true, true},
      {"OverBeforeTheFirstTurn", true, false, {49}, false, true},
      {"OwnerDisabledFurtherOut", true, true, {50, 500}, true, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Owner owner(100, 100);
    if (c.disabledBefore) EnableWindow(owner.window(), FALSE);
    {
      TestClock clock(kStart);
      const platform::TransferProgress progress(c.childOwner ? owner.child() : owner.window(), L"T", &text);
      for (const std::int64_t at : c.turns) {
        clock.set(kStart + at);
        platform::keepTransferAlive();
        const bool turned = at >= platform::kTransferTurnMs;
        EXPECT_EQ(IsWindowEnabled(owner.window()) == FALSE, c.disabledBefore || (turned && c.disabledFromTheFirstTurn))
            << at << " ms";
        EXPECT_TRUE(IsWindowEnabled(owner.child())) << "the child itself is left as it was";
        if (at >= platform::kProgressDelayMs) {
          ASSERT_NE(progressWindow(), nullptr);
          EXPECT_EQ(GetWindow(progressWindow(), GW_OWNER), owner.window());
        }
      }
    }
    EXPECT_EQ(IsWindowEnabled(owner.window()) != FALSE, c.enabledAfter);
    EXPECT_EQ(progressWindow(), nullptr);
  }
}

// A turn dispatches what the host posted and drops its keyboard and mouse
// input, also what is left once the transfer is over.
std::vector<UINT> dispatched;

LRESULT CALLBACK recordDispatched(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP || (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
      (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) || message == WM_NCLBUTTONDOWN) {
    dispatched.push_back(message);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

TEST(Win32ProgressWindow, ATurnDispatchesPostedMessagesButNoInput) {
  dispatched.clear();
  const Owner owner(100, 100);
  SetWindowLongPtrW(owner.window(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&recordDispatched));
  const UINT posted[] = {WM_KEYDOWN, WM_CHAR, WM_SYSKEYDOWN, WM_LBUTTONDOWN, WM_MOUSEWHEEL, WM_NCLBUTTONDOWN, WM_APP};
  {
    TestClock clock(kStart);
    const platform::TransferProgress progress(owner.window(), L"T", &text);
    for (const UINT message : posted) PostMessageW(owner.window(), message, 0, 0);
    clock.set(kStart + platform::kTransferTurnMs);
    platform::keepTransferAlive();
    EXPECT_EQ(dispatched, std::vector<UINT>{WM_APP});
    for (const UINT message : posted) PostMessageW(owner.window(), message, 0, 0);
  }
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
  EXPECT_EQ(dispatched, (std::vector<UINT>{WM_APP, WM_APP}));
}

// A WM_QUIT that a turn takes is posted again when the outermost of the
// host's calls around the transfer is over, or with none when the transfer
// is: never while a box of an outer call may still be open.
bool quitWaiting() {
  MSG message;
  return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

TEST(Win32ProgressWindow, AQuitWaitsForTheOutermostCall) {
  for (const int calls : {0, 1, 2}) {
    SCOPED_TRACE(calls);
    std::vector<std::unique_ptr<platform::HostCall>> open;
    for (int i = 0; i < calls; ++i) open.push_back(std::make_unique<platform::HostCall>());
    {
      TestClock clock(kStart);
      const platform::TransferProgress progress(nullptr, L"T", &text);
      PostQuitMessage(7);
      clock.set(kStart + platform::kTransferTurnMs);
      platform::keepTransferAlive();
      EXPECT_FALSE(quitWaiting()) << "taken by the turn";
    }
    while (!open.empty()) {
      EXPECT_FALSE(quitWaiting()) << open.size() << " calls still open";
      open.pop_back();
    }
    MSG message{};
    ASSERT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(message.wParam, 7u);
  }
}

}  // namespace
