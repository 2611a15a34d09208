// Turns every failure of a transfer into the operator's error box and a
// result code, so that nothing but a return code leaves an export.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "base/vub_exception.h"
#include "host/operator_dialogs.h"
#include "host/result_codes.h"
#include "host/transaction.h"
#include "platform/platform.h"

namespace qel {

constexpr wchar_t kInternalErrorPrefix[] = L"Internal error: ";

// Runs `transfer` (which returns a result code). A failure shows its message
// once the objects of the transfer are gone and gives kResultNotCompleted;
// `transaction` records the failure just before the box shows it, and names
// the receipt when the cash register may have booked it. The trace holds the
// message as the box shows it.
template <typename Transfer>
std::int32_t runGuarded(void* owner, Transaction& transaction, Transfer&& transfer) noexcept {
  // Outlives the last box, so that a WM_QUIT of the transfer waits for it.
  const platform::HostCall call;
  const auto fail = [&](const std::wstring& failure) {
    const std::wstring message = shownMessage(failure);
    showTransferError(owner, message, transaction.failed(message));
  };
  try {
    try {
      return transfer();
    } catch (const VubException& e) {
      fail(e.message());
    } catch (const std::exception& e) {
      fail(kInternalErrorPrefix + platform::ansiToWide(e.what()));
    } catch (...) {
      fail(std::wstring(kInternalErrorPrefix) + L"unknown failure");
    }
  } catch (...) {
    // Even the error box failed (no memory left for its text): the result
    // code alone has to tell the host.
  }
  return kResultNotCompleted;
}

}  // namespace qel
