// The library's own model of one sale or refund: value types that own what
// they hold and know nothing about the host's records or the request format.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qel {

class HostOrderRecord;
class HostRefundRecord;

struct TicketInfo {
  std::int32_t id = 0;
  double vvk = 0.0;
  double vvkref = 0.0;
  double gesamtpreis = 0.0;

  friend bool operator==(const TicketInfo& a, const TicketInfo& b) {
    return a.id == b.id && a.vvk == b.vvk && a.vvkref == b.vvkref && a.gesamtpreis == b.gesamtpreis;
  }
  friend bool operator!=(const TicketInfo& a, const TicketInfo& b) { return !(a == b); }
};

struct EventInfo {
  std::int32_t id = 0;
  std::int32_t vanummer = 0;
  std::wstring name;
  std::int32_t von = 0;
  std::int32_t bis = 0;
  std::int32_t vanummerZusatz = 0;

  friend bool operator==(const EventInfo& a, const EventInfo& b) {
    return a.id == b.id && a.vanummer == b.vanummer && a.name == b.name && a.von == b.von && a.bis == b.bis &&
           a.vanummerZusatz == b.vanummerZusatz;
  }
  friend bool operator!=(const EventInfo& a, const EventInfo& b) { return !(a == b); }
};

struct AdditionalFee {
  double summe = 0.0;
  double steuersatz = 19.0;
  std::wstring waehrung = L"EUR";
  std::wstring bezeichnung;

  friend bool operator==(const AdditionalFee& a, const AdditionalFee& b) {
    return a.summe == b.summe && a.steuersatz == b.steuersatz && a.waehrung == b.waehrung &&
           a.bezeichnung == b.bezeichnung;
  }
  friend bool operator!=(const AdditionalFee& a, const AdditionalFee& b) { return !(a == b); }
};

struct OrderPosition {
  double gesamtpreis = 0.0;
  double mwstbetrag = 0.0;
  double vvkrefsum = 0.0;
  double vvksum = 0.0;
  std::int32_t id = 0;
  bool aboauftrag = false;
  std::vector<TicketInfo> ticketinfos;
  std::vector<EventInfo> veranstaltungen;

  friend bool operator==(const OrderPosition& a, const OrderPosition& b) {
    return a.gesamtpreis == b.gesamtpreis && a.mwstbetrag == b.mwstbetrag && a.vvkrefsum == b.vvkrefsum &&
           a.vvksum == b.vvksum && a.id == b.id && a.aboauftrag == b.aboauftrag && a.ticketinfos == b.ticketinfos &&
           a.veranstaltungen == b.veranstaltungen;
  }
  friend bool operator!=(const OrderPosition& a, const OrderPosition& b) { return !(a == b); }
};

class Order {
 public:
  Order() = default;

  void setSubPoolId(std::int32_t subPoolId) { subPoolId_ = subPoolId; }
  void setTerminalId(std::wstring terminalId) { terminalId_ = std::move(terminalId); }

  // Fill a freshly constructed order from a sale's or a refund's record.
  // Throws VubException when a list pointer is null while its count says
  // there are records; the order is then left unchanged.
  void fillFromHostOrder(const HostOrderRecord& record);
  void fillFromRefund(const HostRefundRecord& record);

  bool hasNegativeTotal() const { return bruttogesamtpreis_ < 0.0; }

  std::int32_t id() const { return id_; }
  std::int32_t belegnummer() const { return belegnummer_; }
  const std::wstring& waehrung() const { return waehrung_; }
  double bruttogesamtpreis() const { return bruttogesamtpreis_; }
  std::int32_t anzahlTickets() const { return anzahlTickets_; }
  std::int32_t poolId() const { return poolId_; }
  std::int32_t subPoolId() const { return subPoolId_; }
  const std::wstring& terminalId() const { return terminalId_; }
  const std::optional<AdditionalFee>& auftragsgebuehr() const { return auftragsgebuehr_; }
  const std::optional<AdditionalFee>& versandkosten() const { return versandkosten_; }
  const std::optional<AdditionalFee>& ticketversicherung() const { return ticketversicherung_; }
  const std::optional<AdditionalFee>& vorverkaufsgebuehr() const { return vorverkaufsgebuehr_; }
  const std::vector<AdditionalFee>& zusatzgebuehren() const { return zusatzgebuehren_; }
  const std::vector<OrderPosition>& auftragspositionen() const { return auftragspositionen_; }

  // Field by field; amounts compare as doubles, so an order holding a NaN
  // equals no order.
  friend bool operator==(const Order& a, const Order& b);
  friend bool operator!=(const Order& a, const Order& b) { return !(a == b); }

 private:
  std::int32_t id_ = 0;
  std::int32_t belegnummer_ = 0;
  std::wstring waehrung_ = L"EUR";
  double bruttogesamtpreis_ = 0.0;
  std::int32_t anzahlTickets_ = 0;
  std::int32_t poolId_ = 0;
  std::int32_t subPoolId_ = 0;
  std::wstring terminalId_;
  std::optional<AdditionalFee> auftragsgebuehr_;
  std::optional<AdditionalFee> versandkosten_;
  std::optional<AdditionalFee> ticketversicherung_;
  std::optional<AdditionalFee> vorverkaufsgebuehr_;
  std::vector<AdditionalFee> zusatzgebuehren_;
  std::vector<OrderPosition> auftragspositionen_;
};

}  // namespace qel
