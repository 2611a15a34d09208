// MessageBoxW's layouts: one row for each of the sixteen MB_ button values,
// the last nine empty.
#include "boxoffice/box_layout.h"

#include <algorithm>

#include "boxoffice/shown_dialog.h"

namespace qel::boxoffice {
namespace {

const std::vector<int>& laidOut(unsigned int type) {
  static const std::vector<int> kLaidOut[kButtonsMask + 1] = {
      {kIdOk},         {kIdOk, kIdCancel},    {kIdAbort, kIdRetry, kIdIgnore},      {kIdYes, kIdNo, kIdCancel},
      {kIdYes, kIdNo}, {kIdRetry, kIdCancel}, {kIdCancel, kIdTryAgain, kIdContinue}};
  return kLaidOut[type & kButtonsMask];
}

}  // namespace

std::vector<int> buttonsOf(unsigned int type) {
  std::vector<int> ids = laidOut(type);
  std::sort(ids.begin(), ids.end());
  return ids;
}

int defaultButtonOf(unsigned int type) {
  const std::vector<int>& buttons = laidOut(type);
  if (buttons.empty()) return 0;
  const std::size_t nth = (type >> 8) & 0x0F;
  return buttons[nth < buttons.size() ? nth : 0];
}

}  // namespace qel::boxoffice
