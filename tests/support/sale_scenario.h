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

#include "host/qelconnect.h"
#include "hostkit/host_sale.h"
#include "hostkit/payment_records.h"

namespace qel::test {

constexpr std::int32_t kNotCompleted = QEL_NOT_COMPLETED;
constexpr std::size_t kResultSize = hostkit::kResultRecordSize;
constexpr std::uint8_t kResultPattern = 0xC3;
constexpr std::uint32_t kZahlartId = 31;

constexpr wchar_t kTransaction[] = L"Transaktionsfenster";
constexpr wchar_t kAskTransfer[] = L"Ticket in die Kasse uebertragen?";
constexpr wchar_t kAskPrinting[] = L"Tickets drucken?";
constexpr wchar_t kErrorCaption[] = L"Fehler bei Daten\u00fcbertragung";

using ResultRecord = std::array<std::uint8_t, kResultSize>;
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
  return "<endpoint><username>kasse</username><password>geheim</password><url>" +
         std::string(url.begin(), url.end()) +
         "</url></endpoint><compatibility><oldkasse>0</oldkasse><oldkasseprefix>" + std::to_string(prefix) +
         "</oldkasseprefix></compatibility>";
}

// A small sale: one position with two tickets, total 42.50, pool 77.
inline hostkit::SaleBytes smallSale(double total = 42.5) {
  hostkit::SaleBytes sale;
  sale.id = 4711;
  sale.belegnummer = 815;
  sale.bruttogesamtpreis = total;
  sale.poolId = 77;
  hostkit::PositionBytes position;
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
inline hostkit::RefundRecord refundRecord(std::int32_t belegnr, double amount, const char* waehrung, std::int32_t auftragId) {
  return hostkit::hostRefund({belegnr, amount, waehrung, auftragId, 0xEE});
}

namespace detail {

template <typename T>
void put(ResultRecord& record, std::size_t offset, T value) {
  std::memcpy(record.data() + offset, &value, sizeof value);
}

inline void putText(ResultRecord& record, std::size_t offset, const char* text) {
  std::memcpy(record.data() + offset, text, std::strlen(text) + 1);
}

}  // namespace detail

// The record that a host prefilled with kResultPattern holds after
// smallSale(total) was completed; the offsets are written out here from the
// host's layout, independently of the library's constants.
inline ResultRecord expectedResult(double total) {
  using detail::put;
  using detail::putText;
  ResultRecord r;
  r.fill(kResultPattern);
  put<std::uint32_t>(r, 0, 3338);
  r[4] = 1;
  put<std::uint32_t>(r, 5, 0);
  put<std::uint32_t>(r, 9, 815);
  putText(r, 13, "Qel");
  put<std::uint32_t>(r, 54, 77);
  put<std::uint32_t>(r, 58, 4711);
  putText(r, 62, "QELUSER");
  putText(r, 93, "Qel");
  putText(r, 244, "NONE");
  put<std::uint32_t>(r, 424, 1);
  put<std::uint32_t>(r, 428, 280);
  put<std::uint32_t>(r, 432, 0);
  put<std::uint32_t>(r, 436, kZahlartId);
  put<double>(r, 440, total);
  put<double>(r, 448, total);
  r[2828] = 1;
  r[2829] = 0;
  r[2830] = 0;
  put<std::uint32_t>(r, 2831, 123);
  r[2835] = 0;
  return r;
}

// The log entry of smallSale(); ePayStatus and ePaySystem are the pattern's
// bytes read as signed numbers.
constexpr char kLogEntry[] =
    "Exception Code: 0\r\n"
    "bBatchModusIsOn: 0\r\n"
    "bBatchModusPruefen: 0\r\n"
    "bKundenDatenErfasst: 0\r\n"
    "bUserDefaultZahlweise: 1\r\n"
    "cbSize: 3338\r\n"
    "cdwEncashed: 1\r\n"
    "dwPaySystemID: 123\r\n"
    "fPaysystem: 1\r\n"
    "PaySystemDate.cbSize: 0\r\n"
    "PaySystemDate.dwBelegNr: 815\r\n"
    "PaySystemDate.dwPosID: 4711\r\n"
    "PaySystemDate.dwTerminalNr: 77\r\n"
    "PaySystemDate.ePayStatus: -1010580541\r\n"
    "PaySystemDate.ePaySystem: -1010580541\r\n"
    "PaySystemDate.szAID: Qel\r\n"
    "PaySystemDate.szFremdErrorText: Qel\r\n"
    "PaySystemDate.szPayUserID: QELUSER\r\n"
    "rgEncashedBy->dwZahlartID: 31\r\n"
    "PaySystemDate.szWarnErrorText: NONE\r\n"
    "\r\n";

}  // namespace qel::test
