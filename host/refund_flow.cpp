// The flow of hrECRefund: fill the refund order, read the configuration and
// transfer. A refund the cash register did not receive is reported as not
// completed, so that the host does not book it.
#include "host/refund_flow.h"

#include "config/connector_config.h"
#include "host/operator_dialogs.h"
#include "host/result_codes.h"
#include "host/transaction.h"
#include "host/transfer_guard.h"
#include "host/working_files.h"
#include "order/host_records.h"
#include "order/order.h"

namespace qel {
namespace {

constexpr wchar_t kNullRefund[] = L"Invalid call of hrECRefund: the refund record (parameter 3) is null.";

// The refund record and the configuration, read under the progress window;
// the transaction begins with them.
ConnectorConfig readRefund(Order& order, const void* hostRefund, Transaction& transaction) {
  order.fillFromRefund(HostRefundRecord(hostRefund));
  ConnectorConfig config;
  config.loadFromFile(kConfigFileName);
  transaction.begin(config);
  transaction.noteOrder(order);
  return config;
}

// Reads and sends the refund under the progress window; cancelled at the
// question about an earlier attempt, it ends as a failed one does, without
// a box.
std::int32_t transferRefund(void* owner, const void* hostRefund, Transaction& transaction) {
  Order order;
  if (!transaction.sendOnce(
          owner, order, [&] { return readRefund(order, hostRefund, transaction); }, [] {})) {
    return kResultNotCompleted;
  }
  transaction.completed(true);
  return kResultDone;
}

}  // namespace

std::int32_t runRefund(void* owner, const void* hostRefund) noexcept {
  Transaction transaction(TransactionKind::Refund);
  return runGuarded(owner, transaction, [&]() -> std::int32_t {
    if (hostRefund == nullptr) throw VubException(kNullRefund);
    return transferRefund(owner, hostRefund, transaction);
  });
}

}  // namespace qel
