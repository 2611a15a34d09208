// Turns every failure of a transfer into the operator's error box and a
// result code, so that nothing but a return code leaves an export.
#pragma once

#include <cstdint>
#include <exception>
#include <string>

#include "base/vub_exception.h"
#include "host/operator_dialogs.h"
#include "host/result_codes.h"
#include "platform/platform.h"

namespace qel {

constexpr wchar_t kInternalErrorPrefix[] = L"Internal error: ";

// Runs `transfer` (which returns a result code). A failure shows its message
// once the objects of the transfer are gone and gives kResultNotCompleted;
// `failed` (noexcept) learns the message just before the box shows it.
template <typename Transfer, typename Failed>
std::int32_t runGuarded(void* owner, Transfer&& transfer, Failed&& failed) noexcept {
  const auto fail = [&](const std::wstring& message) {
    failed(message);
    showTransferError(owner, message);
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
