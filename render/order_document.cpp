// Rendering an Order into the ImAuftrag document, item by item, from the
// request templates.
#include "render/order_document.h"

#include <optional>
#include <utility>
#include <vector>

#include "render/format.h"
#include "render/request_template.h"

namespace qel {
namespace {

constexpr std::int32_t kOrderTemplate = 102;
constexpr std::int32_t kPositionTemplate = 103;
constexpr std::int32_t kFeeTemplate = 104;
constexpr std::int32_t kTicketTemplate = 105;
constexpr std::int32_t kEventTemplate = 106;

constexpr wchar_t kNoAdditionalFees[] = L"<Pzusatzgebuehren xsi:nil=\"true\"/>";
constexpr wchar_t kAdditionalFeesBegin[] = L"<Pzusatzgebuehren>";
constexpr wchar_t kAdditionalFeesEnd[] = L"</Pzusatzgebuehren>";

std::int32_t countOf(std::size_t size) { return static_cast<std::int32_t>(size); }

// Each fill function sets an item template's placeholders in the order that
// the cash register's documents have always been built in.
void fillPosition(RequestTemplate& item, const OrderPosition& position);
void fillFee(RequestTemplate& item, const AdditionalFee& fee);
void fillTicket(RequestTemplate& item, const TicketInfo& ticket);
void fillEvent(RequestTemplate& item, const EventInfo& event);

// Renders one item from its own freshly loaded template.
template <typename Item>
std::wstring renderOne(std::int32_t templateId, const Item& item, void (*fill)(RequestTemplate&, const Item&)) {
  RequestTemplate itemTemplate;
  itemTemplate.load(templateId);
  fill(itemTemplate, item);
  return itemTemplate.text();
}

// Renders every element of a list, in list order. Every item gets its own
// copy of the template, loaded once for the list (copies share the loaded
// text). The enclosing template joins the item texts without separator when
// it writes its own text, so each item is copied once into the document.
template <typename Item>
std::vector<std::wstring> renderEach(std::int32_t templateId, const std::vector<Item>& items,
                                     void (*fill)(RequestTemplate&, const Item&)) {
  std::vector<std::wstring> texts;
  if (items.empty()) return texts;
  RequestTemplate loaded;
  loaded.load(templateId);
  texts.reserve(items.size());
  for (const Item& item : items) {
    RequestTemplate itemTemplate = loaded;
    fill(itemTemplate, item);
    texts.push_back(itemTemplate.text());
  }
  return texts;
}

std::wstring renderOptionalFee(const std::optional<AdditionalFee>& fee) {
  return fee ? renderFee(*fee) : std::wstring();
}

// The whole Pzusatzgebuehren element: nil when there is no fee.
std::vector<std::wstring> renderAdditionalFees(const std::vector<AdditionalFee>& fees) {
  if (fees.empty()) return {kNoAdditionalFees};
  std::vector<std::wstring> parts = renderEach(kFeeTemplate, fees, fillFee);
  parts.insert(parts.begin(), kAdditionalFeesBegin);
  parts.emplace_back(kAdditionalFeesEnd);
  return parts;
}

void fillPosition(RequestTemplate& item, const OrderPosition& position) {
  item.set(L"id", formatInt(position.id));
  item.set(L"aboauftrag", formatBool(position.aboauftrag));
  item.set(L"ticketspos", formatInt(countOf(position.ticketinfos.size())));
  item.set(L"gesamtpreis", formatAmount(position.gesamtpreis));
  item.set(L"mwstbetrag", formatAmount(position.mwstbetrag));
  item.set(L"vvksum", formatAmount(position.vvksum));
  item.set(L"vvkrefsum", formatAmount(position.vvkrefsum));
  item.setJoined(L"veranstaltungen", renderEach(kEventTemplate, position.veranstaltungen, fillEvent));
  item.setJoined(L"ticketinfos", renderEach(kTicketTemplate, position.ticketinfos, fillTicket));
}

// The three numbers of a fee are rounded half up before they are written.
// The tax figure is the sum less the sum divided by (rate + 100), computed
// from the unrounded values; the cash register expects exactly this figure.
void fillFee(RequestTemplate& item, const AdditionalFee& fee) {
  const double steuersumme = fee.summe - (fee.summe / (fee.steuersatz + 100.0));
  item.set(L"bezeichnung", escapeXml(fee.bezeichnung));
  item.set(L"steuersatz", formatAmount(roundDecimals(fee.steuersatz, 2)));
  item.set(L"steuersumme", formatAmount(roundDecimals(steuersumme, 2)));
  item.set(L"summe", formatAmount(roundDecimals(fee.summe, 2)));
}

void fillTicket(RequestTemplate& item, const TicketInfo& ticket) {
  item.set(L"id", formatInt(ticket.id));
  item.set(L"gesamtpreis", formatAmount(ticket.gesamtpreis));
  item.set(L"vvk", formatAmount(ticket.vvk));
  item.set(L"vvkref", formatAmount(ticket.vvkref));
}

void fillEvent(RequestTemplate& item, const EventInfo& event) {
  item.set(L"id", formatInt(event.id));
  item.set(L"vanummer", formatVanummer(event));
  item.set(L"von", formatInt(event.von));
  item.set(L"bis", formatInt(event.bis));
  item.set(L"name", escapeXml(event.name));
}

}  // namespace

std::wstring renderOrder(const Order& order) {
  RequestTemplate document;
  document.load(kOrderTemplate);
  document.set(L"hatVersandkosten", formatBool(order.versandkosten().has_value()));
  document.set(L"versandkosten", renderOptionalFee(order.versandkosten()));
  document.set(L"hatAuftragsgebuehr", formatBool(order.auftragsgebuehr().has_value()));
  document.set(L"auftragsgebuehr", renderOptionalFee(order.auftragsgebuehr()));
  document.set(L"hatVorverkaufsgebuehr", formatBool(order.vorverkaufsgebuehr().has_value()));
  document.set(L"vorverkaufsgebuehr", renderOptionalFee(order.vorverkaufsgebuehr()));
  document.set(L"hatTicketversicherung", formatBool(order.ticketversicherung().has_value()));
  document.set(L"ticketversicherung", renderOptionalFee(order.ticketversicherung()));

  std::vector<std::wstring> additionalFees = renderAdditionalFees(order.zusatzgebuehren());
  std::vector<std::wstring> positions = renderEach(kPositionTemplate, order.auftragspositionen(), fillPosition);

  document.set(L"id", formatInt(order.id()));
  document.set(L"belegnummer", formatInt(order.belegnummer()));
  // The currency and the terminal id come from the host and its settings;
  // they are free text and escaped like every other.
  document.set(L"waehrung", escapeXml(order.waehrung()));
  document.set(L"bruttogesamtpreis", formatAmount(order.bruttogesamtpreis()));
  document.set(L"anzahlTickets", formatInt(order.anzahlTickets()));
  document.set(L"poolId", formatInt(order.poolId()));
  document.set(L"subPoolId", formatInt(order.subPoolId()));
  document.set(L"terminalId", escapeXml(order.terminalId()));
  document.set(L"anzahlAuftragspositionen", formatInt(countOf(order.auftragspositionen().size())));
  document.setJoined(L"auftragspositionen", std::move(positions));
  document.set(L"anzahlZusatzgebuehren", formatInt(countOf(order.zusatzgebuehren().size())));
  document.setJoined(L"zusatzgebuehren", std::move(additionalFees));
  return document.text();
}

std::wstring renderPosition(const OrderPosition& position) {
  return renderOne(kPositionTemplate, position, fillPosition);
}

std::wstring renderFee(const AdditionalFee& fee) { return renderOne(kFeeTemplate, fee, fillFee); }

std::wstring renderTicket(const TicketInfo& ticket) { return renderOne(kTicketTemplate, ticket, fillTicket); }

std::wstring renderEvent(const EventInfo& event) { return renderOne(kEventTemplate, event, fillEvent); }

std::wstring formatVanummer(const EventInfo& event) {
  return formatInt(event.vanummer) + L"|" + formatInt(event.vanummerZusatz);
}

}  // namespace qel
