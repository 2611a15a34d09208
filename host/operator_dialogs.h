// The operator's dialogs: the two questions of a sale, the progress window
// of a slow transfer and the error box.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "host/transaction_kind.h"

#include "platform/platform.h"

namespace qel {

// The caption of the questions of a transaction and of its progress window.
inline constexpr wchar_t kTransactionCaption[] = L"Transaktionsfenster";

// "Ticket in die Kasse uebertragen?" — true only when the operator chose OK.
bool confirmTransfer(void* owner);

// How the operator answered a question, if the system could show it.
enum class Answer { Ok, Cancel, NotShown };

// "Tickets drucken?"
Answer askPrinting(void* owner);

// While alive, a transfer that has taken half a second shows its progress
// window, caption "Transaktionsfenster", text "Übertragung an die Kasse …
// (3 von 6 s)": the seconds begun out of the time limit.
platform::TransferProgress transferProgress(void* owner);
std::wstring transferProgressText(std::int64_t elapsedMs);

// A failed transaction that the cash register may nevertheless have booked.
struct PossibleBooking {
  TransactionKind kind;
  std::int32_t receipt;
};

// A failure's message as the error box shows it: each NUL character, which
// would end the box's text there, written as "\x00", as qelhost shows
// control characters; every other character stays as it is.
std::wstring shownMessage(std::wstring_view message);

// The error box's text: the failure's message and, for a transaction that
// may have been booked, an empty line and the paragraph that tells the
// operator to check the receipt at the cash register before trying again.
std::wstring transferErrorText(const std::wstring& message, const std::optional<PossibleBooking>& booking);

// Shows transferErrorText under "Fehler bei Datenübertragung" with only an
// OK button; the answer is of no interest. Should the paragraph not fit in
// memory, the message is shown alone.
void showTransferError(void* owner, const std::wstring& message, const std::optional<PossibleBooking>& booking);

// True when an error box's text says that its transaction may have been
// booked, for a host that must tell such a failure apart.
bool saysPossiblyBooked(std::wstring_view boxText);

}  // namespace qel
