// The flow of hrECExecute: ask, read configuration and terminal number, fill
// the order, transfer it, fill and log the result record, ask about printing.
#include "host/sale_flow.h"

#include "config/connector_config.h"
#include "host/operator_dialogs.h"
#include "host/payment_result.h"
#include "host/result_codes.h"
#include "host/terminal_id_reader.h"
#include "host/transaction.h"
#include "host/transfer_guard.h"
#include "host/working_files.h"
#include "order/host_records.h"
#include "order/order.h"

namespace qel {
namespace {

constexpr wchar_t kNullOrder[] = L"Invalid call of hrECExecute: the order record (parameter 3) is null.";
constexpr wchar_t kNullPaymentType[] = L"Invalid call of hrECExecute: the payment type record (parameter 4) is null.";
constexpr wchar_t kNullResult[] = L"Invalid call of hrECExecute: the payment result record (parameter 6) is null.";

void requireRecords(const void* hostOrder, const void* hostPaymentType, const void* paymentResult) {
  if (hostOrder == nullptr) throw VubException(kNullOrder);
  if (hostPaymentType == nullptr) throw VubException(kNullPaymentType);
  if (paymentResult == nullptr) throw VubException(kNullResult);
}

// The configuration, the terminal number and the order, read under the
// progress window; the transaction begins with them.
ConnectorConfig readSale(Order& order, const HostOrderRecord& hostOrder, Transaction& transaction) {
  ConnectorConfig config;
  config.loadFromFile(kConfigFileName);
  transaction.begin(config);
  order.setSubPoolId(config.oldkasseprefix);
  TerminalIdReader terminal;
  order.setTerminalId(terminal.terminalId());
  order.fillFromHostOrder(hostOrder);
  transaction.noteOrder(order);
  return config;
}

// The result record filled and logged once the sale is booked; a log entry
// given up for a lock is noted in the trace.
void bookSale(void* paymentResult, const Order& order, const HostOrderRecord& hostOrder, const void* hostPaymentType,
              Transaction& transaction) {
  fillPaymentResult(paymentResult, order, hostOrder, hostPaymentType);
  if (logPaymentResult(paymentResult, 0).status == platform::FileWrite::Locked) {
    transaction.logEntryLost(trace::lost::kLocked);
  }
}

// Everything between the two questions, under the progress window of a
// slow transfer. The objects are released in the reverse order of their
// creation on every path, and all of them, the window included, before a
// failure reaches the error box. False when the operator cancelled at the
// question about an earlier attempt.
bool transferSale(void* owner, Order& order, const HostOrderRecord& hostOrder, const void* hostPaymentType,
                  void* paymentResult, Transaction& transaction) {
  return transaction.sendOnce(
      owner, order, [&] { return readSale(order, hostOrder, transaction); },
      [&] { bookSale(paymentResult, order, hostOrder, hostPaymentType, transaction); });
}

}  // namespace

std::int32_t runSale(void* owner, const void* hostOrder, const void* hostPaymentType, void* paymentResult) noexcept {
  Transaction transaction(TransactionKind::Sale);
  return runGuarded(owner, transaction, [&]() -> std::int32_t {
    // A host that passes no record gets the error box alone: there is no
    // point in asking the operator about a sale that cannot be read.
    requireRecords(hostOrder, hostPaymentType, paymentResult);
    if (!confirmTransfer(owner)) return kResultNotCompleted;
    Order order;
    if (!transferSale(owner, order, HostOrderRecord(hostOrder), hostPaymentType, paymentResult, transaction)) {
      return kResultNotCompleted;
    }
    const Answer printing = order.hasNegativeTotal() ? Answer::Ok : askPrinting(owner);
    if (printing == Answer::NotShown) transaction.boxNotShown(trace::box::kPrinting);
    const bool printed = printing == Answer::Ok;
    transaction.completed(printed);
    return printed ? kResultDone : kResultNotCompleted;
  });
}

}  // namespace qel
