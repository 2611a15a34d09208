// The order document: an Order rendered into the ImAuftrag XML fragment from
// the item templates.
#pragma once

#include <string>

#include "order/order.h"

namespace qel {

std::wstring renderOrder(const Order& order);
std::wstring renderPosition(const OrderPosition& position);
std::wstring renderFee(const AdditionalFee& fee);
std::wstring renderTicket(const TicketInfo& ticket);
std::wstring renderEvent(const EventInfo& event);
std::wstring formatVanummer(const EventInfo& event);

}  // namespace qel
