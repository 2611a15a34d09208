// The order document: an Order rendered into the ImAuftrag XML fragment from
// the item templates.
#pragma once

#include <memory>

#include "order/order.h"
#include "render/text_buffer.h"

namespace qel {

// The order document of one order as the request carries it: UTF-8, one
// line, without the line breaks and tabs of the templates and of the values.
// Making it loads the templates that the order needs; appendTo writes every
// value and item straight into its place, so a large order is written once.
class OrderDocument {
 public:
  explicit OrderDocument(const Order& order);
  ~OrderDocument();
  OrderDocument(const OrderDocument&) = delete;
  OrderDocument& operator=(const OrderDocument&) = delete;

  // The number of bytes that appendTo writes at most when every amount is
  // below a billion, found without writing them, so that the output can be
  // allocated once.
  std::size_t sizeHint() const;
  void appendTo(TextBuffer& out) const;

  // The loaded templates and the writers of the items.
  struct Templates;

 private:
  const Order& order_;
  std::unique_ptr<Templates> templates_;
};

}  // namespace qel
