// Rendering an Order into the ImAuftrag document, item by item, from the
// request templates.
#include "render/order_document.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "render/format.h"
#include "render/request_template.h"

namespace qel {
namespace {

constexpr std::int32_t kOrderTemplate = 102;
constexpr std::int32_t kPositionTemplate = 103;
constexpr std::int32_t kFeeTemplate = 104;
constexpr std::int32_t kTicketTemplate = 105;
constexpr std::int32_t kEventTemplate = 106;

constexpr std::string_view kNoAdditionalFees = "<Pzusatzgebuehren xsi:nil=\"true\"/>";
constexpr std::string_view kAdditionalFeesBegin = "<Pzusatzgebuehren>";
constexpr std::string_view kAdditionalFeesEnd = "</Pzusatzgebuehren>";

std::int32_t countOf(std::size_t size) { return static_cast<std::int32_t>(size); }

template <typename Count>
std::size_t countItems(const std::vector<OrderPosition>& positions, Count&& count) {
  std::size_t items = 0;
  for (const OrderPosition& p : positions) items += count(p);
  return items;
}

// What the formatting functions write at most: an int has up to eleven
// characters, an amount below a billion (sign, nine digits, point, two
// decimals) thirteen, and an entity ("&quot;") is the longest text that one
// character becomes. Larger amounts are rare; they only make the output
// string grow once more.
constexpr std::size_t kIntSize = 11;
constexpr std::size_t kAmountSize = 13;
constexpr std::size_t kBoolSize = 5;
std::size_t escapedSize(const std::wstring& text) { return 6 * text.size(); }

}  // namespace

// The templates of one document: the order template and the item templates
// that the order needs, each loaded once, in the order in which the
// document's parts have always been rendered (fees, then positions with
// their events and tickets), so that a missing template is named as it
// always was.
struct OrderDocument::Templates {
  void loadFor(const Order& order);

  // A free text value: escaped, and on one line like the whole document.
  static void writeText(TextBuffer& out, const std::wstring& text);
  void writeOptionalFee(TextBuffer& out, const std::optional<AdditionalFee>& item) const;
  void writeAdditionalFees(TextBuffer& out, const std::vector<AdditionalFee>& fees) const;

  std::size_t feeSize(const AdditionalFee& item) const;
  std::size_t positionSize(const OrderPosition& item) const;

  RequestTemplate<Templates, Order> document;
  RequestTemplate<Templates, OrderPosition> position;
  RequestTemplate<Templates, AdditionalFee> fee;
  RequestTemplate<Templates, TicketInfo> ticket;
  RequestTemplate<Templates, EventInfo> event;
};

namespace {

using Templates = OrderDocument::Templates;

constexpr Placeholder<Templates, TicketInfo> kTicketPlaceholders[] = {
    {"id", [](auto& out, auto&, auto& ticket) { appendInt(out, ticket.id); }},
    {"gesamtpreis", [](auto& out, auto&, auto& ticket) { appendAmount(out, ticket.gesamtpreis); }},
    {"vvk", [](auto& out, auto&, auto& ticket) { appendAmount(out, ticket.vvk); }},
    {"vvkref", [](auto& out, auto&, auto& ticket) { appendAmount(out, ticket.vvkref); }},
};

constexpr Placeholder<Templates, EventInfo> kEventPlaceholders[] = {
    {"id", [](auto& out, auto&, auto& event) { appendInt(out, event.id); }},
    {"vanummer",
     [](auto& out, auto&, auto& event) {
       appendInt(out, event.vanummer);
       out.push_back('|');
       appendInt(out, event.vanummerZusatz);
     }},
    {"von", [](auto& out, auto&, auto& event) { appendInt(out, event.von); }},
    {"bis", [](auto& out, auto&, auto& event) { appendInt(out, event.bis); }},
    {"name", [](auto& out, auto&, auto& event) { Templates::writeText(out, event.name); }},
};

// The three numbers of a fee are rounded half up before they are written.
// The tax figure is the sum less the sum divided by (rate + 100), computed
// from the unrounded values; the cash register expects exactly this figure.
constexpr Placeholder<Templates, AdditionalFee> kFeePlaceholders[] = {
    {"bezeichnung", [](auto& out, auto&, auto& fee) { Templates::writeText(out, fee.bezeichnung); }},
    {"steuersatz", [](auto& out, auto&, auto& fee) { appendAmount(out, roundDecimals(fee.steuersatz, 2)); }},
    {"steuersumme",
     [](auto& out, auto&, auto& fee) {
       appendAmount(out, roundDecimals(fee.summe - (fee.summe / (fee.steuersatz + 100.0)), 2));
     }},
    {"summe", [](auto& out, auto&, auto& fee) { appendAmount(out, roundDecimals(fee.summe, 2)); }},
};

constexpr Placeholder<Templates, OrderPosition> kPositionPlaceholders[] = {
    {"id", [](auto& out, auto&, auto& position) { appendInt(out, position.id); }},
    {"aboauftrag", [](auto& out, auto&, auto& position) { appendBool(out, position.aboauftrag); }},
    {"ticketspos", [](auto& out, auto&, auto& position) { appendInt(out, countOf(position.ticketinfos.size())); }},
    {"gesamtpreis", [](auto& out, auto&, auto& position) { appendAmount(out, position.gesamtpreis); }},
    {"mwstbetrag", [](auto& out, auto&, auto& position) { appendAmount(out, position.mwstbetrag); }},
    {"vvksum", [](auto& out, auto&, auto& position) { appendAmount(out, position.vvksum); }},
    {"vvkrefsum", [](auto& out, auto&, auto& position) { appendAmount(out, position.vvkrefsum); }},
    {"veranstaltungen",
     [](auto& out, auto& t, auto& position) {
       for (const EventInfo& e : position.veranstaltungen) t.event.write(out, t, e);
     }},
    {"ticketinfos",
     [](auto& out, auto& t, auto& position) {
       for (const TicketInfo& ticket : position.ticketinfos) t.ticket.write(out, t, ticket);
     }},
};

// Values never become template text, so a placeholder's value can be
// written when the document reaches it: the items go straight into place.
constexpr Placeholder<Templates, Order> kOrderPlaceholders[] = {
    {"hatVersandkosten", [](auto& out, auto&, auto& order) { appendBool(out, order.versandkosten().has_value()); }},
    {"versandkosten", [](auto& out, auto& t, auto& order) { t.writeOptionalFee(out, order.versandkosten()); }},
    {"hatAuftragsgebuehr", [](auto& out, auto&, auto& order) { appendBool(out, order.auftragsgebuehr().has_value()); }},
    {"auftragsgebuehr", [](auto& out, auto& t, auto& order) { t.writeOptionalFee(out, order.auftragsgebuehr()); }},
    {"hatVorverkaufsgebuehr",
     [](auto& out, auto&, auto& order) { appendBool(out, order.vorverkaufsgebuehr().has_value()); }},
    {"vorverkaufsgebuehr",
     [](auto& out, auto& t, auto& order) { t.writeOptionalFee(out, order.vorverkaufsgebuehr()); }},
    {"hatTicketversicherung",
     [](auto& out, auto&, auto& order) { appendBool(out, order.ticketversicherung().has_value()); }},
    {"ticketversicherung",
     [](auto& out, auto& t, auto& order) { t.writeOptionalFee(out, order.ticketversicherung()); }},
    {"id", [](auto& out, auto&, auto& order) { appendInt(out, order.id()); }},
    {"belegnummer", [](auto& out, auto&, auto& order) { appendInt(out, order.belegnummer()); }},
    // The currency and the terminal id come from the host and its settings;
    // they are free text and escaped like every other.
    {"waehrung", [](auto& out, auto&, auto& order) { Templates::writeText(out, order.waehrung()); }},
    {"bruttogesamtpreis", [](auto& out, auto&, auto& order) { appendAmount(out, order.bruttogesamtpreis()); }},
    {"anzahlTickets", [](auto& out, auto&, auto& order) { appendInt(out, order.anzahlTickets()); }},
    {"poolId", [](auto& out, auto&, auto& order) { appendInt(out, order.poolId()); }},
    {"subPoolId", [](auto& out, auto&, auto& order) { appendInt(out, order.subPoolId()); }},
    {"terminalId", [](auto& out, auto&, auto& order) { Templates::writeText(out, order.terminalId()); }},
    {"anzahlAuftragspositionen",
     [](auto& out, auto&, auto& order) { appendInt(out, countOf(order.auftragspositionen().size())); }},
    {"auftragspositionen",
     [](auto& out, auto& t, auto& order) {
       for (const OrderPosition& p : order.auftragspositionen()) t.position.write(out, t, p);
     }},
    {"anzahlZusatzgebuehren",
     [](auto& out, auto&, auto& order) { appendInt(out, countOf(order.zusatzgebuehren().size())); }},
    {"zusatzgebuehren", [](auto& out, auto& t, auto& order) { t.writeAdditionalFees(out, order.zusatzgebuehren()); }},
};

}  // namespace

void OrderDocument::Templates::loadFor(const Order& order) {
  document.load(kOrderTemplate, kOrderPlaceholders);
  const std::size_t fees = static_cast<std::size_t>(order.versandkosten().has_value()) +
                           static_cast<std::size_t>(order.auftragsgebuehr().has_value()) +
                           static_cast<std::size_t>(order.vorverkaufsgebuehr().has_value()) +
                           static_cast<std::size_t>(order.ticketversicherung().has_value()) +
                           order.zusatzgebuehren().size();
  if (fees > 0) fee.load(kFeeTemplate, kFeePlaceholders);
  const std::vector<OrderPosition>& positions = order.auftragspositionen();
  if (!positions.empty()) position.load(kPositionTemplate, kPositionPlaceholders);
  const std::size_t events = countItems(positions, [](const OrderPosition& p) { return p.veranstaltungen.size(); });
  if (events > 0) event.load(kEventTemplate, kEventPlaceholders);
  const std::size_t tickets = countItems(positions, [](const OrderPosition& p) { return p.ticketinfos.size(); });
  if (tickets > 0) ticket.load(kTicketTemplate, kTicketPlaceholders);
}

void OrderDocument::Templates::writeText(TextBuffer& out, const std::wstring& value) {
  const std::size_t start = out.size();
  appendEscapedXml(out, value);
  const auto isLineBreak = [](char c) { return c == '\n' || c == '\t' || c == '\r'; };
  char* const text = out.data();
  out.truncate(static_cast<std::size_t>(std::remove_if(text + start, text + out.size(), isLineBreak) - text));
}

void OrderDocument::Templates::writeOptionalFee(TextBuffer& out, const std::optional<AdditionalFee>& item) const {
  if (item) fee.write(out, *this, *item);
}

// The whole Pzusatzgebuehren element: nil when there is no fee.
void OrderDocument::Templates::writeAdditionalFees(TextBuffer& out, const std::vector<AdditionalFee>& fees) const {
  if (fees.empty()) {
    out.append(kNoAdditionalFees);
    return;
  }
  out.append(kAdditionalFeesBegin);
  for (const AdditionalFee& f : fees) fee.write(out, *this, f);
  out.append(kAdditionalFeesEnd);
}

std::size_t OrderDocument::Templates::feeSize(const AdditionalFee& item) const {
  return fee.textSize() + escapedSize(item.bezeichnung) + 3 * kAmountSize;
}

std::size_t OrderDocument::Templates::positionSize(const OrderPosition& item) const {
  std::size_t size = position.textSize() + 2 * kIntSize + kBoolSize + 4 * kAmountSize;
  for (const EventInfo& e : item.veranstaltungen) {
    size += event.textSize() + 5 * kIntSize + 1 + escapedSize(e.name);
  }
  return size + item.ticketinfos.size() * (ticket.textSize() + kIntSize + 3 * kAmountSize);
}

OrderDocument::OrderDocument(const Order& order) : order_(order), templates_(std::make_unique<Templates>()) {
  templates_->loadFor(order);
}

OrderDocument::~OrderDocument() = default;

std::size_t OrderDocument::sizeHint() const {
  const Templates& t = *templates_;
  // The order's own values: eight ints, four flags, an amount and two texts.
  std::size_t size = t.document.textSize() + 8 * kIntSize + 4 * kBoolSize + kAmountSize +
                     escapedSize(order_.waehrung()) + escapedSize(order_.terminalId());
  for (const auto* f : {&order_.versandkosten(), &order_.auftragsgebuehr(), &order_.vorverkaufsgebuehr(),
                        &order_.ticketversicherung()}) {
    if (*f) size += t.feeSize(**f);
  }
  size += kAdditionalFeesBegin.size() + kAdditionalFeesEnd.size() + kNoAdditionalFees.size();
  for (const AdditionalFee& f : order_.zusatzgebuehren()) size += t.feeSize(f);
  for (const OrderPosition& p : order_.auftragspositionen()) size += t.positionSize(p);
  return size;
}

void OrderDocument::appendTo(TextBuffer& out) const { templates_->document.write(out, *templates_, order_); }

}  // namespace qel
