// Dialog texts and captions exactly as the operator sees them.
#include "host/operator_dialogs.h"

#include <algorithm>

#include "platform/platform.h"
#include "transport/connection_options.h"

namespace qel {
namespace {

constexpr wchar_t kAskTransfer[] = L"Ticket in die Kasse uebertragen?";
constexpr wchar_t kAskPrinting[] = L"Tickets drucken?";
constexpr wchar_t kErrorCaption[] = L"Fehler bei Daten\u00fcbertragung";
constexpr wchar_t kProgressStart[] = L"\u00dcbertragung an die Kasse \u2026 (";
constexpr wchar_t kProgressOf[] = L" von ";
constexpr wchar_t kProgressEnd[] = L" s)";

// The paragraph of a transaction that may have been booked:
// kPossibleBooking, the kind's words, the receipt, kCheckBeforeRetrying.
constexpr wchar_t kPossibleBooking[] = L"\r\n\r\nDie Kasse hat ";
constexpr wchar_t kSaleReceipt[] = L"Beleg ";
constexpr wchar_t kRefundReceipt[] = L"die R\u00fcckbuchung von Beleg ";
constexpr wchar_t kCheckBeforeRetrying[] =
    L" m\u00f6glicherweise schon gebucht. Bitte pr\u00fcfen Sie das an der Kasse, bevor Sie erneut \u00fcbertragen.";

// A NUL in a message, as a box can show it.
constexpr wchar_t kVisibleNul[] = L"\\x00";

bool ask(void* owner, const wchar_t* question) {
  return platform::messageBox(owner, question, kTransactionCaption, platform::Buttons::OkCancel) == platform::kIdOk;
}

}  // namespace

bool confirmTransfer(void* owner) { return ask(owner, kAskTransfer); }

Answer askPrinting(void* owner) {
  const int answer = platform::messageBox(owner, kAskPrinting, kTransactionCaption, platform::Buttons::OkCancel);
  if (answer == platform::kBoxNotShown) return Answer::NotShown;
  return answer == platform::kIdOk ? Answer::Ok : Answer::Cancel;
}

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

std::wstring shownMessage(std::wstring_view message) {
  std::wstring shown;
  shown.reserve(message.size());
  for (const wchar_t c : message) {
    if (c == L'\0') {
      shown += kVisibleNul;
    } else {
      shown += c;
    }
  }
  return shown;
}

std::wstring transferErrorText(const std::wstring& message, const std::optional<PossibleBooking>& booking) {
  if (!booking) return message;
  std::wstring text = message;
  text += kPossibleBooking;
  text += booking->kind == TransactionKind::Refund ? kRefundReceipt : kSaleReceipt;
  text += std::to_wstring(booking->receipt);
  text += kCheckBeforeRetrying;
  return text;
}

void showTransferError(void* owner, const std::wstring& message, const std::optional<PossibleBooking>& booking) {
  std::wstring text;
  try {
    text = transferErrorText(message, booking);
  } catch (...) {
    // No memory for the paragraph: the message alone is still worth showing.
  }
  platform::messageBox(owner, text.empty() ? message.c_str() : text.c_str(), kErrorCaption, platform::Buttons::Ok);
}

bool saysPossiblyBooked(std::wstring_view boxText) {
  const std::wstring_view tail(kCheckBeforeRetrying);
  const std::size_t at = boxText.rfind(tail);
  return at != std::wstring_view::npos && at + tail.size() == boxText.size();
}

}  // namespace qel
