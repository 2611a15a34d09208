// Builds a host's sale record with its positions, tickets and fees in memory
// below 4 GiB, byte for byte as the host lays it out. The offsets are written
// out here from the host's layout, independently of the library's own
// constants in order/host_records.h, so that each checks the other.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "boxoffice/low_memory.h"

namespace qel::boxoffice {

struct TicketBytes {
  std::int32_t id = 0;
  double vvk = 0.0;
  double vvkref = 0.0;
  double gesamtpreis = 0.0;
};

struct EventBytes {
  std::int32_t id = 0;
  std::int32_t vanummer = 0;
  std::int32_t vanummerZusatz = 0;
  std::int32_t von = 0;
  std::int32_t bis = 0;
  std::string name;  // ANSI bytes; 81 bytes fill the field without a NUL
};

struct PositionBytes {
  std::int32_t id = 0;
  std::uint8_t aboauftrag = 0;
  double gesamtpreis = 0.0;
  double mwstbetrag = 0.0;
  double vvksum = 0.0;
  double vvkrefsum = 0.0;
  EventBytes event;
  std::vector<TicketBytes> tickets;
  std::optional<std::int32_t> ticketCount;  // written instead of tickets.size()
  bool nullTickets = false;                 // Pticketinfos written as 0
};

// A fixed fee; the flag byte is written as given (1 means present).
struct FeeBytes {
  std::uint8_t flag = 0;
  std::string waehrung;
  double summe = 0.0;
  double steuersatz = 0.0;
};

struct AdditionalFeeBytes {
  std::string bezeichnung;  // 13 bytes fill the field without a NUL
  std::string waehrung;
  double summe = 0.0;
  double steuersatz = 0.0;
};

struct SaleBytes {
  std::int32_t id = 0;
  std::int32_t belegnummer = 0;
  double bruttogesamtpreis = 0.0;
  std::int32_t poolId = 0;
  std::vector<PositionBytes> positions;
  std::optional<std::int32_t> positionCount;  // written instead of positions.size()
  bool nullPositions = false;
  FeeBytes versandkosten;
  FeeBytes auftragsgebuehr;
  FeeBytes ticketversicherung;
  FeeBytes vorverkaufsgebuehr;
  std::vector<AdditionalFeeBytes> zusatzgebuehren;
  std::optional<std::uint32_t> zusatzgebuehrenCount;
  bool nullZusatzgebuehren = false;
  // Every byte that no field covers (ignored ranges, the rest of a text field
  // after its NUL) holds this value.
  std::uint8_t filler = 0;
};

class HostSale {
 public:
  static constexpr std::size_t kHeaderSize = 1296;
  static constexpr std::size_t kPositionSize = 170;
  static constexpr std::size_t kTicketSize = 573;
  static constexpr std::size_t kAdditionalFeeSize = 45;
  // The widths of the text fields: a currency, an additional fee's name and
  // an event's name.
  static constexpr std::size_t kCurrencyWidth = 4;
  static constexpr std::size_t kFeeNameWidth = 13;
  static constexpr std::size_t kEventNameWidth = 81;

  explicit HostSale(const SaleBytes& sale) : memory_(sizeFor(sale)) {
    std::memset(memory_.data(), sale.filler, memory_.size());
    std::uint8_t* next = memory_.data();
    std::uint8_t* header = take(next, kHeaderSize);
    std::uint8_t* positions = take(next, kPositionSize * sale.positions.size());
    std::uint8_t* fees = take(next, kAdditionalFeeSize * sale.zusatzgebuehren.size());

    put<std::int32_t>(header, 8, sale.id);
    put<std::int32_t>(header, 12, sale.belegnummer);
    put<double>(header, 28, sale.bruttogesamtpreis);
    put<std::int32_t>(header, 1132, sale.positionCount.value_or(static_cast<std::int32_t>(sale.positions.size())));
    put<std::uint32_t>(header, 1136, sale.nullPositions ? 0 : LowMemory::addressOf(positions));
    putFee(header + 1140, sale.versandkosten);
    putFee(header + 1173, sale.auftragsgebuehr);
    putFee(header + 1206, sale.ticketversicherung);
    putFee(header + 1239, sale.vorverkaufsgebuehr);
    put<std::uint32_t>(header, 1272,
                       sale.zusatzgebuehrenCount.value_or(static_cast<std::uint32_t>(sale.zusatzgebuehren.size())));
    put<std::uint32_t>(header, 1276, sale.nullZusatzgebuehren ? 0 : LowMemory::addressOf(fees));
    put<std::int32_t>(header, 1292, sale.poolId);

    for (std::size_t i = 0; i < sale.positions.size(); ++i) {
      const PositionBytes& p = sale.positions[i];
      std::uint8_t* tickets = take(next, kTicketSize * p.tickets.size());
      putPosition(positions + kPositionSize * i, p, tickets);
      for (std::size_t k = 0; k < p.tickets.size(); ++k) putTicket(tickets + kTicketSize * k, p.tickets[k]);
    }
    for (std::size_t j = 0; j < sale.zusatzgebuehren.size(); ++j) {
      putAdditionalFee(fees + kAdditionalFeeSize * j, sale.zusatzgebuehren[j]);
    }
    header_ = header;
  }

  // The record as the host passes it to the library.
  const void* record() const { return header_; }
  // The sale record's own bytes, for tests that change single bytes.
  std::uint8_t* header() { return header_; }
  // Every byte of the sale, its arrays included.
  std::uint8_t* begin() { return memory_.data(); }
  std::size_t size() const { return memory_.size(); }

  template <typename T>
  static void put(std::uint8_t* base, std::size_t offset, T value) {
    std::memcpy(base + offset, &value, sizeof value);
  }

  // Writes `text` into a field of `width` bytes, with a NUL after it when
  // there is room; longer text is cut at the field's end.
  static void putText(std::uint8_t* base, std::size_t offset, std::size_t width, const std::string& text) {
    const std::size_t n = std::min(text.size(), width);
    std::memcpy(base + offset, text.data(), n);
    if (n < width) base[offset + n] = 0;
  }

 private:
  static std::size_t sizeFor(const SaleBytes& sale) {
    std::size_t size =
        kHeaderSize + kPositionSize * sale.positions.size() + kAdditionalFeeSize * sale.zusatzgebuehren.size();
    for (const PositionBytes& p : sale.positions) size += kTicketSize * p.tickets.size();
    return size;
  }

  static std::uint8_t* take(std::uint8_t*& next, std::size_t size) {
    std::uint8_t* block = next;
    next += size;
    return block;
  }

  // The flag byte, then the 32-byte fee record right after it.
  static void putFee(std::uint8_t* flag, const FeeBytes& fee) {
    flag[0] = fee.flag;
    std::uint8_t* record = flag + 1;
    putText(record, 4, kCurrencyWidth, fee.waehrung);
    put<double>(record, 8, fee.summe);
    put<double>(record, 16, fee.steuersatz);
  }

  static void putAdditionalFee(std::uint8_t* record, const AdditionalFeeBytes& fee) {
    putText(record, 4, kFeeNameWidth, fee.bezeichnung);
    putText(record, 17, kCurrencyWidth, fee.waehrung);
    put<double>(record, 21, fee.summe);
    put<double>(record, 29, fee.steuersatz);
  }

  static void putTicket(std::uint8_t* record, const TicketBytes& ticket) {
    put<std::int32_t>(record, 4, ticket.id);
    put<double>(record, 8, ticket.vvk);
    put<double>(record, 16, ticket.vvkref);
    put<double>(record, 24, ticket.gesamtpreis);
  }

  static void putPosition(std::uint8_t* record, const PositionBytes& p, std::uint8_t* tickets) {
    put<std::int32_t>(record, 4, p.id);
    record[8] = p.aboauftrag;
    put<std::int32_t>(record, 13, p.ticketCount.value_or(static_cast<std::int32_t>(p.tickets.size())));
    put<double>(record, 21, p.gesamtpreis);
    put<double>(record, 29, p.mwstbetrag);
    put<double>(record, 37, p.vvksum);
    put<double>(record, 45, p.vvkrefsum);
    std::uint8_t* event = record + 53;
    put<std::int32_t>(event, 4, p.event.id);
    put<std::int32_t>(event, 8, p.event.vanummer);
    put<std::int32_t>(event, 12, p.event.vanummerZusatz);
    put<std::int32_t>(event, 16, p.event.von);
    put<std::int32_t>(event, 24, p.event.bis);
    putText(event, 32, kEventNameWidth, p.event.name);
    put<std::uint32_t>(record, 166, p.nullTickets ? 0 : LowMemory::addressOf(tickets));
  }

  LowMemory memory_;
  std::uint8_t* header_ = nullptr;
};

// A host's refund record: 24 bytes, the receipt number first, the order id
// last.
struct RefundBytes {
  std::int32_t belegnummer = 0;
  double bruttogesamtpreis = 0.0;
  std::string waehrung;  // 4 bytes fill the field without a NUL
  std::int32_t id = 0;
  // Every byte that no field covers holds this value.
  std::uint8_t filler = 0;
};

using RefundRecord = std::array<std::uint8_t, 24>;

inline RefundRecord hostRefund(const RefundBytes& refund) {
  RefundRecord record;
  record.fill(refund.filler);
  HostSale::put<std::int32_t>(record.data(), 4, refund.belegnummer);
  HostSale::put<double>(record.data(), 8, refund.bruttogesamtpreis);
  HostSale::putText(record.data(), 16, HostSale::kCurrencyWidth, refund.waehrung);
  HostSale::put<std::int32_t>(record.data(), 20, refund.id);
  return record;
}

}  // namespace qel::boxoffice
