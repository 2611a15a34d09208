// The buttons and the default that the seam reports for each MB_ type, as
// MessageBoxW shows them: every button value, each MB_DEFBUTTON up to one
// past the buttons laid out, and values Windows does not know.
#include "boxoffice/box_layout.h"

#include <gtest/gtest.h>

#include <vector>

#include "boxoffice/shown_dialog.h"

namespace qel::boxoffice {
namespace {

constexpr unsigned int kDefButton2 = 0x100, kDefButton3 = 0x200, kDefButton4 = 0x300;

TEST(BoxLayout, ButtonsInIdOrderAndTheDefaultByPlace) {
  const struct {
    unsigned int type;
    std::vector<int> buttons;
    int defaultButton;
  } cases[] = {
      {0x0, {kIdOk}, kIdOk},                                            // MB_OK
      {0x0 | kDefButton2, {kIdOk}, kIdOk},                              // no second: the first
      {0x1 | kDefButton2, {kIdOk, kIdCancel}, kIdCancel},               // MB_OKCANCEL
      {0x1 | kDefButton3, {kIdOk, kIdCancel}, kIdOk},                   // one past the last
      {0x2 | kDefButton3, {kIdAbort, kIdRetry, kIdIgnore}, kIdIgnore},  // MB_ABORTRETRYIGNORE
      {0x3, {kIdCancel, kIdYes, kIdNo}, kIdYes},                        // MB_YESNOCANCEL
      {0x3 | kDefButton3, {kIdCancel, kIdYes, kIdNo}, kIdCancel},
      {0x3 | kDefButton4, {kIdCancel, kIdYes, kIdNo}, kIdYes},
      {0x4 | kDefButton2 | 0x30, {kIdYes, kIdNo}, kIdNo},                       // MB_YESNO with an icon
      {0x5, {kIdCancel, kIdRetry}, kIdRetry},                                   // MB_RETRYCANCEL
      {0x6 | kDefButton2, {kIdCancel, kIdTryAgain, kIdContinue}, kIdTryAgain},  // MB_CANCELTRYCONTINUE
      {0x7, {}, 0},                                                             // unknown
      {0xF | kDefButton2, {}, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(buttonsOf(c.type), c.buttons) << std::hex << c.type;
    EXPECT_EQ(defaultButtonOf(c.type), c.defaultButton) << std::hex << c.type;
  }
}

}  // namespace
}  // namespace qel::boxoffice
