// The sale, refund, configuration and expected host-visible results that the
// end-to-end tests of both targets share: what the host passes in and, byte
// for byte, what it must find afterwards.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

#include "boxoffice/host_sale.h"
#include "boxoffice/payment_records.h"
#include "host/qelconnect.h"
#include "tests/support/golden_result.h"

namespace qel::test {

constexpr std::int32_t kNotCompleted = QEL_NOT_COMPLETED;
constexpr std::size_t kResultSize = boxoffice::kResultRecordSize;
constexpr std::uint8_t kResultPattern = 0xC3;
constexpr std::uint32_t kZahlartId = 31;

constexpr wchar_t kTransaction[] = L"Transaktionsfenster";
constexpr wchar_t kAskTransfer[] = L"Ticket in die Kasse uebertragen?";
constexpr wchar_t kAskPrinting[] = L"Tickets drucken?";
constexpr wchar_t kErrorCaption[] = L"Fehler bei Daten\u00fcbertragung";

// What the error box adds to its message when the cash register may have
// booked the sale (or refund) of `receipt` although the transfer failed.
inline std::wstring possiblyBooked(std::int32_t receipt, bool refund = false) {
  return std::wstring(L"\r\n\r\nDie Kasse hat ") + (refund ? L"die R\u00fcckbuchung von Beleg " : L"Beleg ") +
         std::to_wstring(receipt) +
         L" m\u00f6glicherweise schon gebucht. Bitte pr\u00fcfen Sie das an der Kasse, bevor Sie erneut "
         L"\u00fcbertragen.";
}

using PaymentTypeRecord = std::array<std::uint8_t, 8>;

inline std::string readFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& name, const std::string& bytes) {
  std::ofstream(name, std::ios::binary) << bytes;
}

// QelConnect.xml for a cash register at `url` (a loopback URL, ASCII, so
// narrowed by hand: the tests call the library through its C interface only).
inline std::string configFor(const std::wstring& url, int prefix = 0) {
  return "<endpoint><username>kasse</username><password>geheim</password><url>" + std::string(url.begin(), url.end()) +
         "</url></endpoint><compatibility><oldkasse>0</oldkasse><oldkasseprefix>" + std::to_string(prefix) +
         "</oldkasseprefix></compatibility>";
}

// A small sale: one position with two tickets, total 42.50, pool 77.
inline boxoffice::SaleBytes smallSale(double total = 42.5) {
  boxoffice::SaleBytes sale;
  sale.id = 4711;
  sale.belegnummer = 815;
  sale.bruttogesamtpreis = total;
  sale.poolId = 77;
  boxoffice::PositionBytes position;
  position.id = 1;
  position.gesamtpreis = total;
  position.event = {9, 123, 5, 1700000000, 1700007200, "Sommernachtstraum"};
  position.tickets = {{501, 1.5, 1.0, 20.0}, {502, 1.5, 1.0, 22.5}};
  sale.positions.push_back(position);
  return sale;
}

// The host's payment-type record: only dwZahlartID at offset 4 is read.
inline PaymentTypeRecord paymentType() {
  PaymentTypeRecord r{};
  std::memcpy(r.data() + 4, &kZahlartId, sizeof kZahlartId);
  return r;
}

// The host's refund record, its unused bytes set to a pattern.
inline boxoffice::RefundRecord refundRecord(std::int32_t belegnr, double amount, const char* waehrung,
                                            std::int32_t auftragId) {
  return boxoffice::hostRefund({belegnr, amount, waehrung, auftragId, 0xEE});
}

// The record that a host prefilled with kResultPattern holds after
// smallSale(total) was completed.
inline ResultRecord expectedResult(double total) {
  return goldenResult({4711, 815, total, 77, kZahlartId}, kResultPattern);
}

// The log entry of smallSale(); ePayStatus and ePaySystem are the pattern's
// bytes read as signed numbers.
inline const std::string kLogEntry = goldenLogEntry({4711, 815, 42.5, 77, kZahlartId}, -1010580541, -1010580541);

}  // namespace qel::test
