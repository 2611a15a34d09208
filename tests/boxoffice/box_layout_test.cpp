// The buttons and the default that the seam reports for each MB_ type, as
// MessageBoxW shows them: every button value, each MB_DEFBUTTON up to one
// past the buttons laid out, and values Windows does not know.
#include "boxoffice/box_layout.h"

#include <gtest/gtest.h>

#include <vector>

namespace qel::boxoffice {
namespace {

// The ids as winuser.h defines them, independent of the model's own.
constexpr int kOk = 1, kCancel = 2, kAbort = 3, kRetry = 4, kIgnore = 5, kYes = 6, kNo = 7, kTryAgain = 10,
              kContinue = 11;
constexpr unsigned int kDefButton2 = 0x100, kDefButton3 = 0x200, kDefButton4 = 0x300;

TEST(BoxLayout, ButtonsInIdOrderAndTheDefaultByPlace) {
  const struct {
    unsigned int type;
    std::vector<int> buttons;
    int defaultButton;
  } cases[] = {
      {0x0, {kOk}, kOk},                                        // MB_OK
      {0x0 | kDefButton2, {kOk}, kOk},                          // no second: the first
      {0x1 | kDefButton2, {kOk, kCancel}, kCancel},             // MB_OKCANCEL
      {0x1 | kDefButton3, {kOk, kCancel}, kOk},                 // one past the last
      {0x2 | kDefButton3, {kAbort, kRetry, kIgnore}, kIgnore},  // MB_ABORTRETRYIGNORE
      {0x3, {kCancel, kYes, kNo}, kYes},                        // MB_YESNOCANCEL
      {0x3 | kDefButton3, {kCancel, kYes, kNo}, kCancel},
      {0x3 | kDefButton4, {kCancel, kYes, kNo}, kYes},
      {0x4 | kDefButton2 | 0x30, {kYes, kNo}, kNo},                     // MB_YESNO with an icon
      {0x5, {kCancel, kRetry}, kRetry},                                 // MB_RETRYCANCEL
      {0x6 | kDefButton2, {kCancel, kTryAgain, kContinue}, kTryAgain},  // MB_CANCELTRYCONTINUE
      {0x7, {}, 0},                                                     // unknown
      {0xF | kDefButton2, {}, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(buttonsOf(c.type), c.buttons) << std::hex << c.type;
    EXPECT_EQ(defaultButtonOf(c.type), c.defaultButton) << std::hex << c.type;
  }
}

}  // namespace
}  // namespace qel::boxoffice
