// Filling the order model from the host's sale and refund records.
#include "order/order.h"

#include <string>
#include <string_view>
#include <utility>

#include "base/vub_exception.h"
#include "order/host_records.h"
#include "platform/platform.h"

namespace qel {
namespace {

constexpr wchar_t kInvalidRecord[] = L"Invalid order record: ";
constexpr wchar_t kIsNullBut[] = L" is null but ";
constexpr wchar_t kIs[] = L" is ";

// No real order comes near a million positions, tickets or fees.
constexpr long long kMaxListCount = 1000000;

// Refuses a list that cannot be read, naming its fields: a null pointer
// while the count promises records (they would be read at address 0), or a
// count so large that reserving room for it would exhaust memory.
template <typename Count>
void requireReadableList(const std::uint8_t* pointer, const wchar_t* pointerName, Count count,
                         const wchar_t* countName) {
  const bool nullWithRecords = pointer == nullptr && count > 0;
  if (!nullWithRecords && static_cast<long long>(count) <= kMaxListCount) return;
  std::wstring message = kInvalidRecord;
  if (nullWithRecords) message.append(pointerName).append(kIsNullBut);
  message.append(countName).append(kIs).append(std::to_wstring(count));
  throw VubException(std::move(message));
}

// Host texts are in the ANSI code page of the calling thread.
std::wstring hostText(std::string_view text) { return platform::ansiToWide(text); }

TicketInfo decodeTicket(const HostTicketRecord& record) {
  TicketInfo ticket;
  ticket.id = record.dwticketid();
  ticket.vvk = record.dbvvk();
  ticket.vvkref = record.dwvvkref();
  ticket.gesamtpreis = record.dbticketgesamtpreis();
  return ticket;
}

EventInfo decodeEvent(const HostEventRecord& record) {
  EventInfo event;
  event.id = record.dwvaid();
  event.vanummer = record.dwvanummer();
  event.name = hostText(record.szname());
  event.von = record.tvadatum();
  event.bis = record.tvabis();
  event.vanummerZusatz = record.dwvanummerzusatz();
  return event;
}

OrderPosition decodePosition(const HostPositionRecord& record) {
  OrderPosition position;
  position.gesamtpreis = record.dbticketgesamtpreis();
  position.mwstbetrag = record.dbmwstbetrag();
  position.vvkrefsum = record.dbvvkrefsum();
  position.vvksum = record.dbvvksum();
  position.id = record.dwposid();
  position.aboauftrag = record.faboauftrag() != 0;

  const std::int32_t count = record.citicketspos();
  requireReadableList(record.pticketinfos(), L"Pticketinfos", count, L"Citicketspos");
  if (count > 0) position.ticketinfos.reserve(static_cast<std::size_t>(count));
  for (std::int32_t k = 0; k < count; ++k) {
    position.ticketinfos.push_back(decodeTicket(record.ticket(static_cast<std::size_t>(k))));
  }
  // Every position carries exactly one event, tickets or not.
  position.veranstaltungen.push_back(decodeEvent(record.vavainfo()));
  return position;
}

// A fixed fee names its currency only; that text also serves as its
// designation.
AdditionalFee decodeFee(const HostFeeRecord& record) {
  AdditionalFee fee;
  fee.summe = record.dbsumme();
  fee.steuersatz = record.dbsteuersatz();
  fee.waehrung = hostText(record.szwaehrung());
  fee.bezeichnung = fee.waehrung;
  return fee;
}

// Only a flag byte of exactly 1 marks a fee as present; any other value
// leaves the fee record unread.
std::optional<AdditionalFee> decodeFixedFee(std::uint8_t flag, const HostFeeRecord& record) {
  if (flag != 1) return std::nullopt;
  return decodeFee(record);
}

AdditionalFee decodeAdditionalFee(const HostAdditionalFeeRecord& record) {
  AdditionalFee fee;
  fee.bezeichnung = hostText(record.szbezeichnung());
  fee.summe = record.dbsumme();
  fee.steuersatz = record.dbsteuersatz();
  fee.waehrung = hostText(record.szwaehrung());
  return fee;
}

std::vector<OrderPosition> decodePositions(const HostOrderRecord& record) {
  const std::int32_t count = record.cdwauftragpos();
  requireReadableList(record.pauftragpos(), L"Pauftragpos", count, L"Cdwauftragpos");
  std::vector<OrderPosition> positions;
  if (count > 0) positions.reserve(static_cast<std::size_t>(count));
  for (std::int32_t i = 0; i < count; ++i) {
    positions.push_back(decodePosition(record.position(static_cast<std::size_t>(i))));
  }
  return positions;
}

std::vector<AdditionalFee> decodeAdditionalFees(const HostOrderRecord& record) {
  const std::uint32_t count = record.cdwzusatzgebuehren();
  requireReadableList(record.pzusatzgebuehren(), L"Pzusatzgebuehren", count, L"Cdwzusatzgebuehren");
  std::vector<AdditionalFee> fees;
  fees.reserve(count);
  for (std::uint32_t j = 0; j < count; ++j) fees.push_back(decodeAdditionalFee(record.zusatzgebuehr(j)));
  return fees;
}

}  // namespace

void Order::fillFromHostOrder(const HostOrderRecord& record) {
  // The lists are decoded first: they are the only part that can fail, and a
  // failure must leave the order as it was.
  std::vector<OrderPosition> positions = decodePositions(record);
  std::vector<AdditionalFee> fees = decodeAdditionalFees(record);

  id_ = record.dwaufragid();
  belegnummer_ = record.dwbelegnr();
  bruttogesamtpreis_ = record.dblbruttogesamtpreis();
  // The header's ticket count is the first position's own count as the host
  // stored it; a sale without positions keeps 0.
  if (!positions.empty()) anzahlTickets_ = record.position(0).citicketspos();
  poolId_ = record.dwpoolid();
  auftragspositionen_ = std::move(positions);
  auftragsgebuehr_ = decodeFixedFee(record.fauftragsgebuehr(), record.gebauftragsgebuehr());
  versandkosten_ = decodeFixedFee(record.fversandkosten(), record.gebversandkosten());
  vorverkaufsgebuehr_ = decodeFixedFee(record.fvvkgebuehr(), record.gebvvkgebuehr());
  ticketversicherung_ = decodeFixedFee(record.fticketvers(), record.gebticketvers());
  zusatzgebuehren_ = std::move(fees);
}

void Order::fillFromRefund(const HostRefundRecord& record) {
  id_ = record.dwaufragid();
  belegnummer_ = record.dwbelegnr();
  bruttogesamtpreis_ = record.dblbruttogesamtpreis();
  // An empty currency text replaces the initial "EUR" as well.
  waehrung_ = hostText(record.szwaehrung());
}

bool operator==(const Order& a, const Order& b) {
  return a.id_ == b.id_ && a.belegnummer_ == b.belegnummer_ && a.waehrung_ == b.waehrung_ &&
         a.bruttogesamtpreis_ == b.bruttogesamtpreis_ && a.anzahlTickets_ == b.anzahlTickets_ &&
         a.poolId_ == b.poolId_ && a.subPoolId_ == b.subPoolId_ && a.terminalId_ == b.terminalId_ &&
         a.auftragsgebuehr_ == b.auftragsgebuehr_ && a.versandkosten_ == b.versandkosten_ &&
         a.ticketversicherung_ == b.ticketversicherung_ && a.vorverkaufsgebuehr_ == b.vorverkaufsgebuehr_ &&
         a.zusatzgebuehren_ == b.zusatzgebuehren_ && a.auftragspositionen_ == b.auftragspositionen_;
}

}  // namespace qel
