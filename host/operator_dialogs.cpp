// Dialog texts and captions exactly as the operator sees them.
#include "host/operator_dialogs.h"

#include <algorithm>

#include "platform/platform.h"
#include "transport/connection_options.h"

namespace qel {
namespace {

constexpr wchar_t kTransactionCaption[] = L"Transaktionsfenster";
constexpr wchar_t kAskTransfer[] = L"Ticket in die Kasse uebertragen?";
constexpr wchar_t kAskPrinting[] = L"Tickets drucken?";
constexpr wchar_t kErrorCaption[] = L"Fehler bei Daten\u00fcbertragung";
constexpr wchar_t kProgressStart[] = L"\u00dcbertragung an die Kasse \u2026 (";
constexpr wchar_t kProgressOf[] = L" von ";
constexpr wchar_t kProgressEnd[] = L" s)";

bool ask(void* owner, const wchar_t* question) {
  return platform::messageBox(owner, question, kTransactionCaption, platform::Buttons::OkCancel) == platform::kIdOk;
}

}  // namespace

bool confirmTransfer(void* owner) { return ask(owner, kAskTransfer); }

bool confirmPrinting(void* owner) { return ask(owner, kAskPrinting); }

platform::TransferProgress transferProgress(void* owner) {
  return platform::TransferProgress(owner, kTransactionCaption, &transferProgressText);
}

// The seconds begun, so that the count reaches the limit as the time-out
// ends the transfer; pauses on a locked file before it may take longer, and
// the count then stays at the limit.
std::wstring transferProgressText(std::int64_t elapsedMs) {
  const std::int64_t seconds = std::min<std::int64_t>((elapsedMs + 999) / 1000, kTransferTimeoutSeconds);
  return kProgressStart + std::to_wstring(seconds) + kProgressOf + std::to_wstring(kTransferTimeoutSeconds) +
         kProgressEnd;
}

void showTransferError(void* owner, const std::wstring& message) {
  platform::messageBox(owner, message.c_str(), kErrorCaption, platform::Buttons::Ok);
}

}  // namespace qel
