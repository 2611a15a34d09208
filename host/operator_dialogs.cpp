// Dialog texts and captions exactly as the operator sees them.
#include "host/operator_dialogs.h"

#include "platform/platform.h"

namespace qel {
namespace {

constexpr wchar_t kTransactionCaption[] = L"Transaktionsfenster";
constexpr wchar_t kAskTransfer[] = L"Ticket in die Kasse uebertragen?";
constexpr wchar_t kAskPrinting[] = L"Tickets drucken?";
constexpr wchar_t kErrorCaption[] = L"Fehler bei Daten\u00fcbertragung";

bool ask(void* owner, const wchar_t* question) {
  return platform::messageBox(owner, question, kTransactionCaption, platform::Buttons::OkCancel) == platform::kIdOk;
}

}  // namespace

bool confirmTransfer(void* owner) { return ask(owner, kAskTransfer); }

bool confirmPrinting(void* owner) { return ask(owner, kAskPrinting); }

void showTransferError(void* owner, const std::wstring& message) {
  platform::messageBox(owner, message.c_str(), kErrorCaption, platform::Buttons::Ok);
}

}  // namespace qel
