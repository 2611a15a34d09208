// The payment result record and the log entry of a completed sale, byte for
// byte as the host must find them: the one statement of both that the filling
// code's tests and the end-to-end tests compare against. The offsets are
// written out from the host's layout, independently of the library's own.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>
#include <string>

#include "boxoffice/payment_records.h"

namespace qel::test {

using ResultRecord = std::array<std::uint8_t, boxoffice::kResultRecordSize>;

// The sale's values that reach the result record.
struct CompletedSale {
  std::int32_t auftragId = 0;
  std::int32_t belegNr = 0;
  double grossTotal = 0.0;
  std::int32_t poolId = 0;
  std::uint32_t zahlartId = 0;
};

// The record that a host prefilled with `pattern` holds after `sale` was
// completed: only these fields change.
inline ResultRecord goldenResult(const CompletedSale& sale, std::uint8_t pattern) {
  ResultRecord r;
  r.fill(pattern);
  auto put = [&r](std::size_t offset, auto value) { std::memcpy(r.data() + offset, &value, sizeof value); };
  auto putText = [&r](std::size_t offset, const char* text) {
    std::memcpy(r.data() + offset, text, std::strlen(text) + 1);
  };
  put(0, std::uint32_t{3338});
  r[4] = 1;
  put(5, std::uint32_t{0});
  put(9, sale.belegNr);
  putText(13, "Qel");
  put(54, sale.poolId);
  put(58, sale.auftragId);
  putText(62, "QELUSER");
  putText(93, "Qel");
  putText(244, "NONE");
  put(424, std::uint32_t{1});
  put(428, std::uint32_t{280});
  put(432, std::uint32_t{0});
  put(436, sale.zahlartId);
  put(440, sale.grossTotal);
  put(448, sale.grossTotal);
  r[2828] = 1;
  r[2829] = 0;
  r[2830] = 0;
  put(2831, std::uint32_t{123});
  r[2835] = 0;
  return r;
}

// The log entry of goldenResult(sale, ...) whose host-owned status words
// (ePayStatus, ePaySystem) hold `payStatus` and `paySystem`.
inline std::string goldenLogEntry(const CompletedSale& sale, std::int32_t payStatus, std::int32_t paySystem) {
  return "Exception Code: 0\r\n"
         "bBatchModusIsOn: 0\r\n"
         "bBatchModusPruefen: 0\r\n"
         "bKundenDatenErfasst: 0\r\n"
         "bUserDefaultZahlweise: 1\r\n"
         "cbSize: 3338\r\n"
         "cdwEncashed: 1\r\n"
         "dwPaySystemID: 123\r\n"
         "fPaysystem: 1\r\n"
         "PaySystemDate.cbSize: 0\r\n"
         "PaySystemDate.dwBelegNr: " +
         std::to_string(sale.belegNr) +
         "\r\n"
         "PaySystemDate.dwPosID: " +
         std::to_string(sale.auftragId) +
         "\r\n"
         "PaySystemDate.dwTerminalNr: " +
         std::to_string(sale.poolId) +
         "\r\n"
         "PaySystemDate.ePayStatus: " +
         std::to_string(payStatus) +
         "\r\n"
         "PaySystemDate.ePaySystem: " +
         std::to_string(paySystem) +
         "\r\n"
         "PaySystemDate.szAID: Qel\r\n"
         "PaySystemDate.szFremdErrorText: Qel\r\n"
         "PaySystemDate.szPayUserID: QELUSER\r\n"
         "rgEncashedBy->dwZahlartID: " +
         std::to_string(sale.zahlartId) +
         "\r\n"
         "PaySystemDate.szWarnErrorText: NONE\r\n"
         "\r\n";
}

}  // namespace qel::test
