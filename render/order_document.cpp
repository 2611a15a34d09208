// Rendering an Order into the ImAuftrag document, item by item, from the
// request templates.
#include "render/order_document.h"

#include <optional>
#include <utility>

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

// Renders every element of a list and joins the texts without separator.
// Each item is appended once, so the list costs time linear in its text.
template <typename Item, typename Render>
std::wstring joinRendered(const std::vector<Item>& items, Render render, std::wstring joined = {}) {
  for (const Item& item : items) joined += render(item);
  return joined;
}

std::wstring renderOptionalFee(const std::optional<AdditionalFee>& fee) {
  return fee ? renderFee(*fee) : std::wstring();
}

std::wstring renderAdditionalFees(const std::vector<AdditionalFee>& fees) {
  if (fees.empty()) return kNoAdditionalFees;
  std::wstring element = joinRendered(fees, renderFee, kAdditionalFeesBegin);
  element += kAdditionalFeesEnd;
  return element;
}

std::int32_t countOf(std::size_t size) { return static_cast<std::int32_t>(size); }

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

  std::wstring additionalFees = renderAdditionalFees(order.zusatzgebuehren());
  std::wstring positions = joinRendered(order.auftragspositionen(), renderPosition);

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
  document.set(L"auftragspositionen", std::move(positions));
  document.set(L"anzahlZusatzgebuehren", formatInt(countOf(order.zusatzgebuehren().size())));
  document.set(L"zusatzgebuehren", std::move(additionalFees));
  return document.text();
}

std::wstring renderPosition(const OrderPosition& position) {
  RequestTemplate item;
  item.load(kPositionTemplate);
  item.set(L"id", formatInt(position.id));
  item.set(L"aboauftrag", formatBool(position.aboauftrag));
  item.set(L"ticketspos", formatInt(countOf(position.ticketinfos.size())));
  item.set(L"gesamtpreis", formatAmount(position.gesamtpreis));
  item.set(L"mwstbetrag", formatAmount(position.mwstbetrag));
  item.set(L"vvksum", formatAmount(position.vvksum));
  item.set(L"vvkrefsum", formatAmount(position.vvkrefsum));
  item.set(L"veranstaltungen", joinRendered(position.veranstaltungen, renderEvent));
  item.set(L"ticketinfos", joinRendered(position.ticketinfos, renderTicket));
  return item.text();
}

// The three numbers of a fee are rounded half up before they are written.
// The tax figure is the sum less the sum divided by (rate + 100), computed
// from the unrounded values; the cash register expects exactly this figure.
std::wstring renderFee(const AdditionalFee& fee) {
  const double steuersumme = fee.summe - (fee.summe / (fee.steuersatz + 100.0));
  RequestTemplate item;
  item.load(kFeeTemplate);
  item.set(L"bezeichnung", escapeXml(fee.bezeichnung));
  item.set(L"steuersatz", formatAmount(roundDecimals(fee.steuersatz, 2)));
  item.set(L"steuersumme", formatAmount(roundDecimals(steuersumme, 2)));
  item.set(L"summe", formatAmount(roundDecimals(fee.summe, 2)));
  return item.text();
}

std::wstring renderTicket(const TicketInfo& ticket) {
  RequestTemplate item;
  item.load(kTicketTemplate);
  item.set(L"id", formatInt(ticket.id));
  item.set(L"gesamtpreis", formatAmount(ticket.gesamtpreis));
  item.set(L"vvk", formatAmount(ticket.vvk));
  item.set(L"vvkref", formatAmount(ticket.vvkref));
  return item.text();
}

std::wstring renderEvent(const EventInfo& event) {
  RequestTemplate item;
  item.load(kEventTemplate);
  item.set(L"id", formatInt(event.id));
  item.set(L"vanummer", formatVanummer(event));
  item.set(L"von", formatInt(event.von));
  item.set(L"bis", formatInt(event.bis));
  item.set(L"name", escapeXml(event.name));
  return item.text();
}

std::wstring formatVanummer(const EventInfo& event) {
  return formatInt(event.vanummer) + L"|" + formatInt(event.vanummerZusatz);
}

}  // namespace qel
