// The flow of hrECRefund: fill the refund order, read the configuration and
// transfer. A refund the cash register did not receive is reported as not
// completed, so that the host does not book it.
#include "host/refund_flow.h"

#include <utility>

#include "config/connector_config.h"
#include "host/operator_dialogs.h"
#include "host/result_codes.h"
#include "host/transaction.h"
#include "host/transfer_guard.h"
#include "host/working_files.h"
#include "order/host_records.h"
#include "order/order.h"
#include "transport/kasse_exchange.h"

namespace qel {
namespace {

constexpr wchar_t kNullRefund[] = L"Invalid call of hrECRefund: the refund record (parameter 3) is null.";

}  // namespace

std::int32_t runRefund(void* owner, const void* hostRefund) noexcept {
  Transaction transaction(TransactionKind::Refund);
  return runGuarded(owner, transaction, [&]() -> std::int32_t {
    if (hostRefund == nullptr) throw VubException(kNullRefund);
    const platform::TransferProgress progress = transferProgress(owner);
    Order order;
    order.fillFromRefund(HostRefundRecord(hostRefund));
    ConnectorConfig config;
    config.loadFromFile(kConfigFileName);
    transaction.begin(config);
    transaction.noteOrder(order);
    KasseExchange exchange(std::move(config));
    KasseResponse response;
    transaction.transfer(exchange, order, response);
    transaction.completed(true);
    return kResultDone;
  });
}

}  // namespace qel
