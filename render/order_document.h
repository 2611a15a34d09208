// The order document: an Order rendered into the ImAuftrag XML fragment from
// the item templates.
#pragma once

#include <memory>
#include <string>

#include "order/order.h"
#include "render/request_template.h"

namespace qel {

std::wstring renderOrder(const Order& order);
std::wstring renderPosition(const OrderPosition& position);
std::wstring renderFee(const AdditionalFee& fee);
std::wstring renderTicket(const TicketInfo& ticket);
std::wstring renderEvent(const EventInfo& event);
std::wstring formatVanummer(const EventInfo& event);

// The order document of one order as UTF-8, the text of renderOrder without
// any wide text in between. Making it loads the templates and binds their
// placeholders; appendTo writes every value and item straight into its
// place, so a large order is written once. With TemplateLines::Joined the document
// is one line: the line breaks and tabs of the templates and of the values
// are left out, as removeLineBreaks would remove them.
class OrderDocument {
 public:
  explicit OrderDocument(const Order& order, TemplateLines lines = TemplateLines::AsStored);
  ~OrderDocument();
  OrderDocument(const OrderDocument&) = delete;
  OrderDocument& operator=(const OrderDocument&) = delete;

  // The number of bytes that appendTo writes at most when every amount is
  // below a billion, found without writing them, so that the output can be
  // allocated once.
  std::size_t sizeHint() const;
  void appendTo(TextBuffer& out) const;

  // The loaded templates and the writers of the items; the single-item
  // renderers use them too.
  struct Templates;

 private:
  const Order& order_;
  std::unique_ptr<Templates> templates_;
};

}  // namespace qel
