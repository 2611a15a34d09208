// Rendering an Order into the ImAuftrag document, item by item, from the
// request templates.
#include "render/order_document.h"

#include <algorithm>
#include <optional>
#include <string_view>

#include "base/int_format.h"
#include "platform/platform.h"
#include "render/format.h"

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

// The keys of each item template in the order in which the cash register's
// documents have always been filled; a key's place in its list is its slot.
enum PositionSlot : std::size_t {
  kPositionId, kAboauftrag, kTicketspos, kPositionGesamtpreis, kMwstbetrag, kVvksum, kVvkrefsum,
  kVeranstaltungen, kTicketinfos
};
constexpr std::string_view kPositionKeys[] = {"id",     "aboauftrag", "ticketspos",      "gesamtpreis", "mwstbetrag",
                                              "vvksum", "vvkrefsum",  "veranstaltungen", "ticketinfos"};
enum FeeSlot : std::size_t { kBezeichnung, kSteuersatz, kSteuersumme, kSumme };
constexpr std::string_view kFeeKeys[] = {"bezeichnung", "steuersatz", "steuersumme", "summe"};
enum TicketSlot : std::size_t { kTicketId, kTicketGesamtpreis, kVvk, kVvkref };
constexpr std::string_view kTicketKeys[] = {"id", "gesamtpreis", "vvk", "vvkref"};
enum EventSlot : std::size_t { kEventId, kVanummer, kVon, kBis, kName };
constexpr std::string_view kEventKeys[] = {"id", "vanummer", "von", "bis", "name"};

enum OrderSlot : std::size_t {
  kHatVersandkosten, kVersandkosten, kHatAuftragsgebuehr, kAuftragsgebuehr, kHatVorverkaufsgebuehr,
  kVorverkaufsgebuehr, kHatTicketversicherung, kTicketversicherung, kOrderId, kBelegnummer, kWaehrung,
  kBruttogesamtpreis, kAnzahlTickets, kPoolId, kSubPoolId, kTerminalId, kAnzahlAuftragspositionen,
  kAuftragspositionen, kAnzahlZusatzgebuehren, kZusatzgebuehren
};
constexpr std::string_view kOrderKeys[] = {
    "hatVersandkosten", "versandkosten", "hatAuftragsgebuehr", "auftragsgebuehr", "hatVorverkaufsgebuehr",
    "vorverkaufsgebuehr", "hatTicketversicherung", "ticketversicherung", "id", "belegnummer", "waehrung",
    "bruttogesamtpreis", "anzahlTickets", "poolId", "subPoolId", "terminalId", "anzahlAuftragspositionen",
    "auftragspositionen", "anzahlZusatzgebuehren", "zusatzgebuehren"};

std::int32_t countOf(std::size_t size) { return static_cast<std::int32_t>(size); }

// An item template whose keys are slots in their order, loaded once for a
// document, that then writes the `uses` items the document has of its kind.
// Taken apart and bound once, it writes each item by copying its pieces; that
// pays from a handful of items on, below which it is read straight into
// each item like the order template.
class ItemTemplate {
 public:
  template <std::size_t N>
  void load(std::int32_t id, const std::string_view (&keys)[N], TemplateLines lines, std::size_t uses) {
    keys_ = keys;
    keyCount_ = N;
    lines_ = lines;
    streamed_ = uses <= kStreamedUses;
    if (streamed_) {
      once_.load(id);
      fixedSize_ = once_.sizeBound();
      return;
    }
    bound_.load(id, lines);
    bound_.bindSlots(keys);
    fixedSize_ = bound_.sizeWithoutSlots();
  }

  template <typename WriteSlot>
  void write(TextBuffer& out, WriteSlot&& writeSlot) const {
    if (streamed_) {
      once_.appendTo(out, lines_, keys_, keyCount_, writeSlot);
    } else {
      bound_.appendTo(out, writeSlot);
    }
  }

  // The bytes that every item writes besides its values, at most.
  std::size_t fixedSize() const { return fixedSize_; }

 private:
  static constexpr std::size_t kStreamedUses = 4;

  const std::string_view* keys_ = nullptr;
  std::size_t keyCount_ = 0;
  TemplateLines lines_ = TemplateLines::AsStored;
  bool streamed_ = false;
  StreamedTemplate once_;
  RequestTemplate bound_;
  std::size_t fixedSize_ = 0;
};

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

// The templates of one document: the order template with the order's own
// values set, and the item templates that the order needs, each loaded
// once, in the order in which the document's parts have always been
// rendered (fees, then positions with their events and tickets), so that a
// missing template is named as it always was.
struct OrderDocument::Templates {
  explicit Templates(TemplateLines lines) : lines(lines) {}
  void loadFor(const Order& order);
  // The templates that one item needs, for it alone.
  void loadFor(const OrderPosition& item);
  void loadFor(const AdditionalFee&) { fee.load(kFeeTemplate, kFeeKeys, lines, 1); }
  void loadFor(const TicketInfo&) { ticket.load(kTicketTemplate, kTicketKeys, lines, 1); }
  void loadFor(const EventInfo&) { event.load(kEventTemplate, kEventKeys, lines, 1); }

  // A free text value: escaped, and on one line if the document is.
  void writeText(TextBuffer& out, const std::wstring& text) const;

  void writeTicket(TextBuffer& out, const TicketInfo& ticket) const;
  void writeEvent(TextBuffer& out, const EventInfo& event) const;
  void writeFee(TextBuffer& out, const AdditionalFee& fee) const;
  void writePosition(TextBuffer& out, const OrderPosition& position) const;
  void writeOptionalFee(TextBuffer& out, const std::optional<AdditionalFee>& fee) const;
  void writeAdditionalFees(TextBuffer& out, const std::vector<AdditionalFee>& fees) const;

  std::size_t feeSize(const AdditionalFee& fee) const;
  std::size_t positionSize(const OrderPosition& position) const;

  TemplateLines lines;
  StreamedTemplate document;
  ItemTemplate position;
  ItemTemplate fee;
  ItemTemplate ticket;
  ItemTemplate event;
};

void OrderDocument::Templates::loadFor(const OrderPosition& item) {
  position.load(kPositionTemplate, kPositionKeys, lines, 1);
  if (!item.veranstaltungen.empty()) event.load(kEventTemplate, kEventKeys, lines, item.veranstaltungen.size());
  if (!item.ticketinfos.empty()) ticket.load(kTicketTemplate, kTicketKeys, lines, item.ticketinfos.size());
}

void OrderDocument::Templates::loadFor(const Order& order) {
  document.load(kOrderTemplate);
  const std::size_t fees = static_cast<std::size_t>(order.versandkosten().has_value()) +
                           static_cast<std::size_t>(order.auftragsgebuehr().has_value()) +
                           static_cast<std::size_t>(order.vorverkaufsgebuehr().has_value()) +
                           static_cast<std::size_t>(order.ticketversicherung().has_value()) +
                           order.zusatzgebuehren().size();
  if (fees > 0) fee.load(kFeeTemplate, kFeeKeys, lines, fees);
  const std::vector<OrderPosition>& positions = order.auftragspositionen();
  if (!positions.empty()) position.load(kPositionTemplate, kPositionKeys, lines, positions.size());
  const std::size_t events = countItems(positions, [](const OrderPosition& p) { return p.veranstaltungen.size(); });
  if (events > 0) event.load(kEventTemplate, kEventKeys, lines, events);
  const std::size_t tickets = countItems(positions, [](const OrderPosition& p) { return p.ticketinfos.size(); });
  if (tickets > 0) ticket.load(kTicketTemplate, kTicketKeys, lines, tickets);
}

void OrderDocument::Templates::writeText(TextBuffer& out, const std::wstring& value) const {
  const std::size_t start = out.size();
  appendEscapedXml(out, value);
  if (lines == TemplateLines::AsStored) return;
  const auto isLineBreak = [](char c) { return c == '\n' || c == '\t' || c == '\r'; };
  char* const text = out.data();
  out.truncate(static_cast<std::size_t>(std::remove_if(text + start, text + out.size(), isLineBreak) - text));
}

void OrderDocument::Templates::writeTicket(TextBuffer& out, const TicketInfo& item) const {
  ticket.write(out, [&](TextBuffer& out, std::size_t slot) {
    switch (slot) {
      case kTicketId: appendInt(out, item.id); break;
      case kTicketGesamtpreis: appendAmount(out, item.gesamtpreis); break;
      case kVvk: appendAmount(out, item.vvk); break;
      case kVvkref: appendAmount(out, item.vvkref); break;
    }
  });
}

void OrderDocument::Templates::writeEvent(TextBuffer& out, const EventInfo& item) const {
  event.write(out, [&](TextBuffer& out, std::size_t slot) {
    switch (slot) {
      case kEventId: appendInt(out, item.id); break;
      case kVanummer:
        appendInt(out, item.vanummer);
        out.push_back('|');
        appendInt(out, item.vanummerZusatz);
        break;
      case kVon: appendInt(out, item.von); break;
      case kBis: appendInt(out, item.bis); break;
      case kName: writeText(out, item.name); break;
    }
  });
}

// The three numbers of a fee are rounded half up before they are written.
// The tax figure is the sum less the sum divided by (rate + 100), computed
// from the unrounded values; the cash register expects exactly this figure.
void OrderDocument::Templates::writeFee(TextBuffer& out, const AdditionalFee& item) const {
  fee.write(out, [&](TextBuffer& out, std::size_t slot) {
    switch (slot) {
      case kBezeichnung: writeText(out, item.bezeichnung); break;
      case kSteuersatz: appendAmount(out, roundDecimals(item.steuersatz, 2)); break;
      case kSteuersumme:
        appendAmount(out, roundDecimals(item.summe - (item.summe / (item.steuersatz + 100.0)), 2));
        break;
      case kSumme: appendAmount(out, roundDecimals(item.summe, 2)); break;
    }
  });
}

void OrderDocument::Templates::writePosition(TextBuffer& out, const OrderPosition& item) const {
  position.write(out, [&](TextBuffer& out, std::size_t slot) {
    switch (slot) {
      case kPositionId: appendInt(out, item.id); break;
      case kAboauftrag: appendBool(out, item.aboauftrag); break;
      case kTicketspos: appendInt(out, countOf(item.ticketinfos.size())); break;
      case kPositionGesamtpreis: appendAmount(out, item.gesamtpreis); break;
      case kMwstbetrag: appendAmount(out, item.mwstbetrag); break;
      case kVvksum: appendAmount(out, item.vvksum); break;
      case kVvkrefsum: appendAmount(out, item.vvkrefsum); break;
      case kVeranstaltungen:
        for (const EventInfo& e : item.veranstaltungen) writeEvent(out, e);
        break;
      case kTicketinfos:
        for (const TicketInfo& t : item.ticketinfos) writeTicket(out, t);
        break;
    }
  });
}

void OrderDocument::Templates::writeOptionalFee(TextBuffer& out, const std::optional<AdditionalFee>& item) const {
  if (item) writeFee(out, *item);
}

// The whole Pzusatzgebuehren element: nil when there is no fee.
void OrderDocument::Templates::writeAdditionalFees(TextBuffer& out, const std::vector<AdditionalFee>& fees) const {
  if (fees.empty()) {
    out.append(kNoAdditionalFees);
    return;
  }
  out.append(kAdditionalFeesBegin);
  for (const AdditionalFee& f : fees) writeFee(out, f);
  out.append(kAdditionalFeesEnd);
}

std::size_t OrderDocument::Templates::feeSize(const AdditionalFee& item) const {
  return fee.fixedSize() + escapedSize(item.bezeichnung) + 3 * kAmountSize;
}

std::size_t OrderDocument::Templates::positionSize(const OrderPosition& item) const {
  std::size_t size = position.fixedSize() + 2 * kIntSize + kBoolSize + 4 * kAmountSize;
  for (const EventInfo& e : item.veranstaltungen) {
    size += event.fixedSize() + 5 * kIntSize + 1 + escapedSize(e.name);
  }
  return size + item.ticketinfos.size() * (ticket.fixedSize() + kIntSize + 3 * kAmountSize);
}

OrderDocument::OrderDocument(const Order& order, TemplateLines lines)
    : order_(order), templates_(std::make_unique<Templates>(lines)) {
  templates_->loadFor(order);
}

OrderDocument::~OrderDocument() = default;

std::size_t OrderDocument::sizeHint() const {
  const Templates& t = *templates_;
  // The order's own values: eight ints, four flags, an amount and two texts.
  std::size_t size = t.document.sizeBound() + 8 * kIntSize + 4 * kBoolSize + kAmountSize +
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

void OrderDocument::appendTo(TextBuffer& out) const {
  const Templates& t = *templates_;
  const Order& order = order_;
  // Values never become template text, so a placeholder's value can be
  // written when the document reaches it: the items go straight into place.
  t.document.appendTo(out, t.lines, kOrderKeys, [&](TextBuffer& out, std::size_t slot) {
    switch (slot) {
      case kHatVersandkosten: appendBool(out, order.versandkosten().has_value()); break;
      case kVersandkosten: t.writeOptionalFee(out, order.versandkosten()); break;
      case kHatAuftragsgebuehr: appendBool(out, order.auftragsgebuehr().has_value()); break;
      case kAuftragsgebuehr: t.writeOptionalFee(out, order.auftragsgebuehr()); break;
      case kHatVorverkaufsgebuehr: appendBool(out, order.vorverkaufsgebuehr().has_value()); break;
      case kVorverkaufsgebuehr: t.writeOptionalFee(out, order.vorverkaufsgebuehr()); break;
      case kHatTicketversicherung: appendBool(out, order.ticketversicherung().has_value()); break;
      case kTicketversicherung: t.writeOptionalFee(out, order.ticketversicherung()); break;
      case kOrderId: appendInt(out, order.id()); break;
      case kBelegnummer: appendInt(out, order.belegnummer()); break;
      // The currency and the terminal id come from the host and its
      // settings; they are free text and escaped like every other.
      case kWaehrung: t.writeText(out, order.waehrung()); break;
      case kBruttogesamtpreis: appendAmount(out, order.bruttogesamtpreis()); break;
      case kAnzahlTickets: appendInt(out, order.anzahlTickets()); break;
      case kPoolId: appendInt(out, order.poolId()); break;
      case kSubPoolId: appendInt(out, order.subPoolId()); break;
      case kTerminalId: t.writeText(out, order.terminalId()); break;
      case kAnzahlAuftragspositionen: appendInt(out, countOf(order.auftragspositionen().size())); break;
      case kAuftragspositionen:
        for (const OrderPosition& p : order.auftragspositionen()) t.writePosition(out, p);
        break;
      case kAnzahlZusatzgebuehren: appendInt(out, countOf(order.zusatzgebuehren().size())); break;
      case kZusatzgebuehren: t.writeAdditionalFees(out, order.zusatzgebuehren()); break;
    }
  });
}

std::wstring renderOrder(const Order& order) {
  const OrderDocument document(order);
  TextBuffer out;
  out.reserve(document.sizeHint());
  document.appendTo(out);
  return platform::utf8ToWide(out.view());
}

namespace {

// A single item is written with the templates that it needs, loaded for it
// alone.
template <typename Item>
std::wstring renderItem(const Item& item, void (OrderDocument::Templates::*write)(TextBuffer&, const Item&) const) {
  OrderDocument::Templates templates(TemplateLines::AsStored);
  templates.loadFor(item);
  TextBuffer out;
  (templates.*write)(out, item);
  return platform::utf8ToWide(out.view());
}

}  // namespace

std::wstring renderPosition(const OrderPosition& position) {
  return renderItem(position, &OrderDocument::Templates::writePosition);
}

std::wstring renderFee(const AdditionalFee& fee) { return renderItem(fee, &OrderDocument::Templates::writeFee); }

std::wstring renderTicket(const TicketInfo& ticket) {
  return renderItem(ticket, &OrderDocument::Templates::writeTicket);
}

std::wstring renderEvent(const EventInfo& event) { return renderItem(event, &OrderDocument::Templates::writeEvent); }

std::wstring formatVanummer(const EventInfo& event) {
  return formatInt(event.vanummer) + L"|" + formatInt(event.vanummerZusatz);
}

}  // namespace qel
