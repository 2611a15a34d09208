// The operator's dialogs: the two questions of a sale, the progress window
// of a slow transfer and the error box.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace qel {

// "Ticket in die Kasse uebertragen?" — true only when the operator chose OK.
bool confirmTransfer(void* owner);

// "Tickets drucken?" — true only when the operator chose OK.
bool confirmPrinting(void* owner);

// While alive, a transfer that has taken half a second shows its progress
// window, caption "Transaktionsfenster", text "Übertragung an die Kasse …
// (3 von 6 s)": the seconds begun out of the time limit.
platform::TransferProgress transferProgress(void* owner);
std::wstring transferProgressText(std::int64_t elapsedMs);

// Shows a failure's message under "Fehler bei Datenübertragung" with only an
// OK button; the answer is of no interest.
void showTransferError(void* owner, const std::wstring& message);

}  // namespace qel
