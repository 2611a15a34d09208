// Fills the host's payment result record at its fixed offsets and dumps it to
// the result log.
#include "host/payment_result.h"

#include <charconv>
#include <cstring>
#include <string>
#include <string_view>

#include "order/host_records.h"
#include "order/order.h"
#include "platform/platform.h"

namespace qel {
namespace {

using namespace paymentresult;

// The one field read from the host's payment-type record.
constexpr std::size_t kPaymentTypeZahlartId = 4;  // uint32 dwZahlartID

constexpr std::uint32_t kEncashedCount = 1;
constexpr std::uint32_t kEntryWord0 = 280;
constexpr std::uint32_t kPaySystemId = 123;
constexpr char kAid[] = "Qel";
constexpr char kPayUserId[] = "QELUSER";
constexpr char kFremdErrorText[] = "Qel";
constexpr char kWarnErrorText[] = "NONE";

// Entries end their lines with CR LF on every target, so the file is written
// in binary mode and the line ends are spelled out.
constexpr std::string_view kLineEnd = "\r\n";

template <typename T>
void put(std::uint8_t* record, std::size_t offset, T value) {
  std::memcpy(record + offset, &value, sizeof value);
}

void putBool(std::uint8_t* record, std::size_t offset, bool value) { record[offset] = value ? 1 : 0; }

// Writes the text and its terminator; the bytes behind stay as they were.
template <std::size_t N>
void putText(std::uint8_t* record, std::size_t offset, const char (&text)[N]) {
  std::memcpy(record + offset, text, N);
}

void copyBytes(std::uint8_t* record, std::size_t offset, const std::uint8_t* source, std::size_t count) {
  std::memcpy(record + offset, source, count);
}

// An entry of the fields below comes to about 520 bytes with the longest
// texts; room for it is taken once.
constexpr std::size_t kEntryCapacity = 768;

class LogEntry {
 public:
  explicit LogEntry(const std::uint8_t* record) : record_(record) { text_.reserve(kEntryCapacity); }

  void line(std::string_view label, std::string_view value) { text_.append(label).append(value).append(kLineEnd); }
  template <typename Number>
  void numberLine(std::string_view label, Number value) {
    char digits[16];
    const std::to_chars_result end = std::to_chars(digits, digits + sizeof digits, value);
    line(label, std::string_view(digits, static_cast<std::size_t>(end.ptr - digits)));
  }
  void unsignedLine(std::string_view label, std::size_t offset) {
    numberLine(label, hostbytes::read<std::uint32_t>(record_, offset));
  }
  void signedLine(std::string_view label, std::size_t offset) {
    numberLine(label, hostbytes::read<std::int32_t>(record_, offset));
  }
  void boolLine(std::string_view label, std::size_t offset) {
    numberLine(label, static_cast<unsigned>(record_[offset]));
  }
  void textLine(std::string_view label, std::size_t offset, std::size_t width) {
    line(label, hostbytes::readText(record_, offset, width));
  }
  void endEntry() { text_.append(kLineEnd); }

  const std::string& text() const { return text_; }

 private:
  const std::uint8_t* record_;
  std::string text_;
};

std::string formatEntry(const std::uint8_t* record, std::int32_t code) {
  LogEntry entry(record);
  entry.numberLine("Exception Code: ", code);
  entry.boolLine("bBatchModusIsOn: ", kBBatchModusIsOn);
  entry.boolLine("bBatchModusPruefen: ", kBBatchModusPruefen);
  entry.boolLine("bKundenDatenErfasst: ", kBKundenDatenErfasst);
  entry.boolLine("bUserDefaultZahlweise: ", kBUserDefaultZahlweise);
  entry.unsignedLine("cbSize: ", kCbSize);
  entry.unsignedLine("cdwEncashed: ", kCdwEncashed);
  entry.unsignedLine("dwPaySystemID: ", kDwPaySystemId);
  entry.boolLine("fPaysystem: ", kFPaysystem);
  entry.unsignedLine("PaySystemDate.cbSize: ", kPaySystemDateCbSize);
  entry.unsignedLine("PaySystemDate.dwBelegNr: ", kDwBelegNr);
  entry.unsignedLine("PaySystemDate.dwPosID: ", kDwPosId);
  entry.unsignedLine("PaySystemDate.dwTerminalNr: ", kDwTerminalNr);
  entry.signedLine("PaySystemDate.ePayStatus: ", kEPayStatus);
  entry.signedLine("PaySystemDate.ePaySystem: ", kEPaySystem);
  entry.textLine("PaySystemDate.szAID: ", kSzAid, kSzAidWidth);
  entry.textLine("PaySystemDate.szFremdErrorText: ", kSzFremdErrorText, kSzFremdErrorTextWidth);
  entry.textLine("PaySystemDate.szPayUserID: ", kSzPayUserId, kSzPayUserIdWidth);
  entry.unsignedLine("rgEncashedBy->dwZahlartID: ", kDwZahlartId);
  entry.textLine("PaySystemDate.szWarnErrorText: ", kSzWarnErrorText, kSzWarnErrorTextWidth);
  entry.endEntry();
  return entry.text();
}

}  // namespace

void fillPaymentResult(void* record, const Order& order, const HostOrderRecord& hostOrder,
                       const void* hostPaymentType) {
  auto* out = static_cast<std::uint8_t*>(record);
  const std::uint8_t* host = hostOrder.bytes();
  const auto* paymentType = static_cast<const std::uint8_t*>(hostPaymentType);

  put<std::uint32_t>(out, kCbSize, static_cast<std::uint32_t>(kRecordSize));
  putBool(out, kFPaysystem, true);

  put<std::uint32_t>(out, kPaySystemDateCbSize, 0);
  put<std::uint32_t>(out, kDwBelegNr, static_cast<std::uint32_t>(order.belegnummer()));
  putText(out, kSzAid, kAid);
  copyBytes(out, kDwTerminalNr, host + HostOrderRecord::kDwpoolid, sizeof(std::uint32_t));
  put<std::uint32_t>(out, kDwPosId, static_cast<std::uint32_t>(order.id()));
  putText(out, kSzPayUserId, kPayUserId);
  putText(out, kSzFremdErrorText, kFremdErrorText);
  putText(out, kSzWarnErrorText, kWarnErrorText);

  put<std::uint32_t>(out, kCdwEncashed, kEncashedCount);
  put<std::uint32_t>(out, kDwEntryWord0, kEntryWord0);
  put<std::uint32_t>(out, kDwEntryWord1, 0);
  copyBytes(out, kDwZahlartId, paymentType + kPaymentTypeZahlartId, sizeof(std::uint32_t));
  // The amounts are the host's own eight bytes, copied without a round trip
  // through a double so that every bit pattern arrives unchanged.
  copyBytes(out, kDblAmount1, host + HostOrderRecord::kDblbruttogesamtpreis, sizeof(double));
  copyBytes(out, kDblAmount2, host + HostOrderRecord::kDblbruttogesamtpreis, sizeof(double));

  putBool(out, kBUserDefaultZahlweise, true);
  putBool(out, kBBatchModusIsOn, false);
  putBool(out, kBKundenDatenErfasst, false);
  put<std::uint32_t>(out, kDwPaySystemId, kPaySystemId);
  putBool(out, kBBatchModusPruefen, false);
}

platform::FileWriteResult logPaymentResult(const void* record, std::int32_t code) {
  const std::string entry = formatEntry(static_cast<const std::uint8_t*>(record), code);
  // A log that cannot be written costs the entry, never the sale.
  return platform::appendToFile(kPaymentLogFile, entry);
}

void truncateLog() { platform::truncateFile(kPaymentLogFile); }

}  // namespace qel
