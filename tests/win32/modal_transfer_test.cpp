// The box office during a transfer, driven as an operator drives it: real
// keys, clicks and Alt+F4 go to the system's input at 100 ms and at 1 s into
// the transfer; a host closes its window or ends its message loop while the
// transfer runs. None of it reaches the box office or costs the sale its
// print question.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <ostream>
#include <thread>
#include <vector>

#include "boxoffice/box_office_win32.h"
#include "tests/host/flow_fixture.h"

namespace qel::test {
namespace {

using namespace std::chrono_literals;
using boxoffice::BoxOffice;

// The cash register answers this long after the request has come.
constexpr std::chrono::milliseconds kAnswerAfter = 1500ms;

class ModalTransfer : public FlowTest {
 protected:
  // One sale owned by `owner`, both questions answered OK.
  std::int32_t sellOwnedBy(HWND owner) {
    boxoffice::HostSale record(smallSale());
    boxoffice::BoxAnswerer answerer(*library_, std::vector<int>{kIdOk, kIdOk});
    const std::int32_t code =
        library_->execute()(nullptr, owner, record.record(), paymentType_.data(), nullptr, result_.data());
    dialogs_ = answerer.dialogs();
    return code;
  }

  // A cash register that runs `during` on its own thread `at` after the
  // request came and answers at kAnswerAfter.
  template <typename During>
  void kasseActingAt(std::chrono::milliseconds at, During during) {
    server_.emplace([at, during](const ReceivedRequest&, ServerConnection& connection) {
      std::this_thread::sleep_for(at);
      during();
      std::this_thread::sleep_for(kAnswerAfter - at);
      connection.send(httpResponse(200, kasseAnswer("0", "OK")));
    });
    writeFile("QelConnect.xml", configFor(server_->url(), 0));
  }

  // The sale asked both questions and was done.
  void expectCompletedWithBothQuestions(std::int32_t code) {
    EXPECT_EQ(code, 0);
    ASSERT_EQ(dialogs().size(), 2u);
    EXPECT_EQ(dialogs()[0].text, kAskTransfer);
    EXPECT_EQ(dialogs()[1].text, kAskPrinting);
    EXPECT_EQ(requestCount(), 1u);
    EXPECT_TRUE(result_ == expectedResult(42.5));
  }
};

// Dispatches what waits for the thread, as the box office's loop would once
// the call has returned.
void dispatchPending() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) break;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
}

enum class Input { Key, Click, AltF4 };

INPUT key(WORD virtualKey, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = virtualKey;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  return input;
}

INPUT mouse(DWORD flags, POINT at) {
  INPUT input{};
  input.type = INPUT_MOUSE;
  input.mi.dx = MulDiv(at.x, 65535, GetSystemMetrics(SM_CXSCREEN) - 1);
  input.mi.dy = MulDiv(at.y, 65535, GetSystemMetrics(SM_CYSCREEN) - 1);
  input.mi.dwFlags = flags | MOUSEEVENTF_ABSOLUTE | MOUSEEVENTF_MOVE;
  return input;
}

// What an operator does, as the system's input.
void operate(Input what, HWND control) {
  std::vector<INPUT> events;
  if (what == Input::Key) {
    events = {key('A', false), key('A', true), key(VK_RETURN, false), key(VK_RETURN, true)};
  } else if (what == Input::AltF4) {
    events = {key(VK_MENU, false), key(VK_F4, false), key(VK_F4, true), key(VK_MENU, true)};
  } else {
    RECT rect{};
    GetWindowRect(control, &rect);
    const POINT centre{(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    events = {mouse(0, centre), mouse(MOUSEEVENTF_LEFTDOWN, centre), mouse(MOUSEEVENTF_LEFTUP, centre)};
  }
  SendInput(static_cast<UINT>(events.size()), events.data(), sizeof(INPUT));
}

struct InputCase {
  const char* name;
  Input input;
  std::chrono::milliseconds at;
};
void PrintTo(const InputCase& c, std::ostream* out) { *out << c.name; }

class InputDuringTheTransfer : public ModalTransfer, public ::testing::WithParamInterface<InputCase> {};

// Before the progress window shows and while it shows, the box office takes
// no input, not even once the call has returned, and keeps its window.
TEST_P(InputDuringTheTransfer, NeverReachesTheBoxOffice) {
  const InputCase& c = GetParam();
  BoxOffice office;
  ASSERT_EQ(GetFocus(), office.control());
  const HWND control = office.control();
  kasseActingAt(c.at, [&c, control] { operate(c.input, control); });

  const std::int32_t code = sellOwnedBy(office.window());
  dispatchPending();

  expectCompletedWithBothQuestions(code);
  EXPECT_TRUE(office.alive());
  EXPECT_EQ(office.received(), std::vector<UINT>{});
  EXPECT_TRUE(IsWindowEnabled(office.window()));
}

INSTANTIATE_TEST_SUITE_P(
    ByAnOperator, InputDuringTheTransfer,
    ::testing::Values(InputCase{"KeyAt100Ms", Input::Key, 100ms}, InputCase{"ClickAt100Ms", Input::Click, 100ms},
                      InputCase{"AltF4At100Ms", Input::AltF4, 100ms}, InputCase{"KeyAt1s", Input::Key, 1000ms},
                      InputCase{"ClickAt1s", Input::Click, 1000ms}, InputCase{"AltF4At1s", Input::AltF4, 1000ms}),
    [](const ::testing::TestParamInfo<InputCase>& info) { return info.param.name; });

// The input itself reaches a box office that is not in a transfer: the cases
// above would pass for input that never arrives at all.
TEST_F(ModalTransfer, TheSameInputReachesTheBoxOfficeOutsideATransfer) {
  BoxOffice office;
  operate(Input::Key, office.control());
  operate(Input::Click, office.control());
  dispatchPending();
  const std::vector<UINT> expected = {WM_KEYDOWN, WM_CHAR,  WM_KEYUP,       WM_KEYDOWN,
                                      WM_CHAR,    WM_KEYUP, WM_LBUTTONDOWN, WM_LBUTTONUP};
  EXPECT_EQ(office.received(), expected);
  operate(Input::AltF4, office.control());
  dispatchPending();
  EXPECT_FALSE(office.alive());
}

std::atomic<bool> transferRunning{false};

void CALLBACK closeOnceTransferring(HWND window, UINT, UINT_PTR, DWORD) {
  if (transferRunning) SendMessageW(window, WM_CLOSE, 0, 0);
}

// The host closes its window (a timer of its own sends WM_CLOSE) while the
// transfer runs: the sale is done, and "Tickets drucken?" is asked without
// an owner.
TEST_F(ModalTransfer, AnOwnerClosedDuringTheTransferStillHearsThePrintQuestion) {
  BoxOffice office;
  transferRunning = false;
  kasseActingAt(0ms, [] { transferRunning = true; });
  SetTimer(office.window(), 0x7154, 50, &closeOnceTransferring);

  const std::int32_t code = sellOwnedBy(office.window());

  expectCompletedWithBothQuestions(code);
  EXPECT_FALSE(office.alive());
  ASSERT_EQ(dialogs().size(), 2u);
  EXPECT_EQ(dialogs()[0].owner, office.window());
  EXPECT_EQ(dialogs()[1].owner, nullptr);
}

}  // namespace
}  // namespace qel::test
