// The operator's dialogs: the two questions of a sale and the error box.
#pragma once

#include <string>

namespace qel {

// "Ticket in die Kasse uebertragen?" — true only when the operator chose OK.
bool confirmTransfer(void* owner);

// "Tickets drucken?" — true only when the operator chose OK.
bool confirmPrinting(void* owner);

// Shows a failure's message under "Fehler bei Datenübertragung" with only an
// OK button; the answer is of no interest.
void showTransferError(void* owner, const std::wstring& message);

}  // namespace qel
