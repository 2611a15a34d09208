// The buttons of a message box as MessageBoxW lays them out for an MB_ type,
// for the development library's seam, where no real box shows them.
#pragma once

#include <vector>

namespace qel::boxoffice {

// The bits of an MB_ type that choose its buttons.
constexpr unsigned int kButtonsMask = 0x0F;

constexpr int kIdAbort = 3, kIdRetry = 4, kIdIgnore = 5, kIdTryAgain = 10, kIdContinue = 11;

// The buttons of `type` (its MB_ button value, bits 0 to 3) in ascending id
// order, as a real box reports them; none for a value Windows does not know.
std::vector<int> buttonsOf(unsigned int type);

// The button that MB_DEFBUTTONn (bits 8 to 11) makes the default: the n-th
// laid out, or the first when there is no n-th; 0 when there are no buttons.
int defaultButtonOf(unsigned int type);

}  // namespace qel::boxoffice
