// The box office kit's window hook against real MessageBoxW boxes: what it reads
// from a box, which button it presses and when.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "boxoffice/box_hook_win32.h"

namespace {

using qel::boxoffice::BoxHook;
using qel::boxoffice::kIdCancel;
using qel::boxoffice::kIdOk;
using qel::boxoffice::ShownDialog;

TEST(BoxHook, AnswersFromTheScriptInOrder) {
  BoxHook answerer({kIdOk, kIdCancel});
  EXPECT_EQ(MessageBoxW(nullptr, L"first", L"one", MB_OKCANCEL), IDOK);
  EXPECT_EQ(MessageBoxW(nullptr, L"second", L"two", MB_OKCANCEL), IDCANCEL);
  ASSERT_EQ(answerer.dialogs().size(), 2u);
  EXPECT_EQ(answerer.dialogs()[0].text, L"first");
  EXPECT_EQ(answerer.dialogs()[0].answer, kIdOk);
  EXPECT_EQ(answerer.dialogs()[1].caption, L"two");
  EXPECT_EQ(answerer.dialogs()[1].answer, kIdCancel);
}

TEST(BoxHook, BeyondTheScriptAnswersAsEscapeWould) {
  struct Case {
    UINT type;
    int expected;
  };
  const Case cases[] = {{MB_OK, IDOK}, {MB_OKCANCEL, IDCANCEL}, {MB_YESNOCANCEL, IDCANCEL}};
  for (const Case& c : cases) {
    BoxHook answerer;
    EXPECT_EQ(MessageBoxW(nullptr, L"?", L"unscripted", c.type), c.expected) << c.type;
    ASSERT_EQ(answerer.dialogs().size(), 1u);
  }
}

TEST(BoxHook, ReadsButtonsAndIcon) {
  struct Case {
    UINT type;
    std::vector<int> buttons;
    bool icon;
  };
  const Case cases[] = {{MB_OK, {IDOK}, false},
                        {MB_OKCANCEL, {IDOK, IDCANCEL}, false},
                        {MB_YESNO | MB_ICONQUESTION, {IDYES, IDNO}, true},
                        {MB_OK | MB_ICONERROR, {IDOK}, true}};
  for (const Case& c : cases) {
    BoxHook answerer([](const ShownDialog& box) { return box.buttons.front(); });
    MessageBoxW(nullptr, L"text", L"caption", c.type);
    ASSERT_EQ(answerer.dialogs().size(), 1u);
    EXPECT_EQ(answerer.dialogs()[0].buttons, c.buttons) << c.type;
    EXPECT_EQ(answerer.dialogs()[0].hasIcon, c.icon) << c.type;
  }
}

TEST(BoxHook, PolicySeesTheBoxBeforeAnswering) {
  std::wstring seenText;
  BoxHook answerer([&](const ShownDialog& box) {
    seenText = box.text;
    return box.text == L"Tickets drucken?" ? kIdOk : kIdCancel;
  });
  EXPECT_EQ(MessageBoxW(nullptr, L"Tickets drucken?", L"Transaktionsfenster", MB_OKCANCEL), IDOK);
  EXPECT_EQ(seenText, L"Tickets drucken?");
}

TEST(BoxHook, AThrowingPolicyStillClosesTheBox) {
  BoxHook answerer([](const ShownDialog&) -> int { throw std::runtime_error("no answer"); });
  EXPECT_EQ(MessageBoxW(nullptr, L"text", L"caption", MB_OKCANCEL), IDCANCEL);
}

TEST(BoxHook, OnePerThread) {
  BoxHook first;
  EXPECT_THROW(BoxHook second, std::logic_error);
}

TEST(BoxHook, RecordsTheOwnerWindow) {
  HWND owner = CreateWindowExW(0, L"STATIC", L"Host", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(owner, nullptr);
  {
    BoxHook answerer({kIdOk});
    MessageBoxW(owner, L"owned", L"caption", MB_OK);
    MessageBoxW(nullptr, L"unowned", L"caption", MB_OK);
    ASSERT_EQ(answerer.dialogs().size(), 2u);
    EXPECT_EQ(answerer.dialogs()[0].owner, owner);
    EXPECT_EQ(answerer.dialogs()[1].owner, nullptr);
  }
  DestroyWindow(owner);
}

}  // namespace
