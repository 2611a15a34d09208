// The host's 3338-byte payment result record: the fields this library fills
// after a completed sale, and the readable dump of it in "QelConnect.log".
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/platform.h"

namespace qel {

class Order;
class HostOrderRecord;

// Byte offsets in the packed record. Fields not named here belong to the host
// and are neither written nor logged.
namespace paymentresult {
constexpr std::size_t kRecordSize = 3338;

constexpr std::size_t kCbSize = 0;                    // uint32
constexpr std::size_t kFPaysystem = 4;                // bool
constexpr std::size_t kPaySystemDateCbSize = 5;       // uint32
constexpr std::size_t kDwBelegNr = 9;                 // uint32
constexpr std::size_t kSzAid = 13;                    // text[41]
constexpr std::size_t kDwTerminalNr = 54;             // uint32
constexpr std::size_t kDwPosId = 58;                  // uint32
constexpr std::size_t kSzPayUserId = 62;              // text[31]
constexpr std::size_t kSzFremdErrorText = 93;         // text[151]
constexpr std::size_t kSzWarnErrorText = 244;         // text[151]
constexpr std::size_t kEPayStatus = 395;              // int32, host's own
constexpr std::size_t kEPaySystem = 399;              // int32, host's own
constexpr std::size_t kCdwEncashed = 424;             // uint32
constexpr std::size_t kDwEntryWord0 = 428;            // uint32, rgEncashedBy[0]
constexpr std::size_t kDwEntryWord1 = 432;            // uint32
constexpr std::size_t kDwZahlartId = 436;             // uint32
constexpr std::size_t kDblAmount1 = 440;              // double
constexpr std::size_t kDblAmount2 = 448;              // double
constexpr std::size_t kBUserDefaultZahlweise = 2828;  // bool
constexpr std::size_t kBBatchModusIsOn = 2829;        // bool
constexpr std::size_t kBKundenDatenErfasst = 2830;    // bool
constexpr std::size_t kDwPaySystemId = 2831;          // uint32
constexpr std::size_t kBBatchModusPruefen = 2835;     // bool

constexpr std::size_t kSzAidWidth = 41;
constexpr std::size_t kSzPayUserIdWidth = 31;
constexpr std::size_t kSzFremdErrorTextWidth = 151;
constexpr std::size_t kSzWarnErrorTextWidth = 151;
}  // namespace paymentresult

// The result log in the process's working folder.
constexpr char kPaymentLogFile[] = "QelConnect.log";

// Writes the fields of a completed sale into the host's result record and
// nothing else: the receipt number and position id from the order, the
// terminal number and both amounts straight from the host's order record, the
// payment type from the host's payment-type record, fixed values elsewhere.
void fillPaymentResult(void* record, const Order& order, const HostOrderRecord& hostOrder, const void* hostPaymentType);

// Appends one entry (twenty lines and an empty line) for the record to the
// result log. A log that cannot be opened costs the entry and nothing else;
// the result says whether it was written.
platform::FileWriteResult logPaymentResult(const void* record, std::int32_t code);

// Empties the result log; a log that cannot be opened is left as it is.
void truncateLog();

}  // namespace qel
