// Prints the payment result record at the offsets the box-office application
// reads, written down here independently of the library's writer.
#include "tools/qelhost/result_printer.h"

#include <array>
#include <charconv>
#include <cstring>
#include <iomanip>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "tools/qelhost/system.h"
#include "tools/qelhost/visible_text.h"

namespace qel::qelhost {
namespace {

enum class Kind { Bool, Unsigned, Signed, Text, Double };

struct Field {
  const char* name;
  std::size_t offset;
  std::size_t width;
  Kind kind;
};

// In the record's own order.
constexpr Field kFields[] = {
    {"cbSize", 0, 4, Kind::Unsigned},
    {"fPaysystem", 4, 1, Kind::Bool},
    {"PaySystemDate.cbSize", 5, 4, Kind::Unsigned},
    {"PaySystemDate.dwBelegNr", 9, 4, Kind::Unsigned},
    {"PaySystemDate.szAID", 13, 41, Kind::Text},
    {"PaySystemDate.dwTerminalNr", 54, 4, Kind::Unsigned},
    {"PaySystemDate.dwPosID", 58, 4, Kind::Unsigned},
    {"PaySystemDate.szPayUserID", 62, 31, Kind::Text},
    {"PaySystemDate.szFremdErrorText", 93, 151, Kind::Text},
    {"PaySystemDate.szWarnErrorText", 244, 151, Kind::Text},
    {"PaySystemDate.ePayStatus", 395, 4, Kind::Signed},
    {"PaySystemDate.ePaySystem", 399, 4, Kind::Signed},
    {"cdwEncashed", 424, 4, Kind::Unsigned},
    {"rgEncashedBy[0].dwEntryWord0", 428, 4, Kind::Unsigned},
    {"rgEncashedBy[0].dwEntryWord1", 432, 4, Kind::Unsigned},
    {"rgEncashedBy[0].dwZahlartID", 436, 4, Kind::Unsigned},
    {"rgEncashedBy[0].dblAmount1", 440, 8, Kind::Double},
    {"rgEncashedBy[0].dblAmount2", 448, 8, Kind::Double},
    {"bUserDefaultZahlweise", 2828, 1, Kind::Bool},
    {"bBatchModusIsOn", 2829, 1, Kind::Bool},
    {"bKundenDatenErfasst", 2830, 1, Kind::Bool},
    {"dwPaySystemID", 2831, 4, Kind::Unsigned},
    {"bBatchModusPruefen", 2835, 1, Kind::Bool},
};

template <typename T>
T read(const std::uint8_t* record, std::size_t offset) {
  T value;
  std::memcpy(&value, record + offset, sizeof value);
  return value;
}

std::string shortest(double value) {
  std::array<char, 64> buffer{};
  auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value);
  return std::string(buffer.data(), result.ptr);
}

std::size_t textLength(const std::uint8_t* record, const Field& field) {
  const void* nul = std::memchr(record + field.offset, 0, field.width);
  return nul ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(nul) - (record + field.offset)) : field.width;
}

std::string valueOf(const std::uint8_t* record, const Field& field) {
  switch (field.kind) {
    case Kind::Bool:
      return std::to_string(record[field.offset]);
    case Kind::Unsigned:
      return std::to_string(read<std::uint32_t>(record, field.offset));
    case Kind::Signed:
      return std::to_string(read<std::int32_t>(record, field.offset));
    case Kind::Double:
      return shortest(read<double>(record, field.offset));
    case Kind::Text: {
      std::size_t length = textLength(record, field);
      std::string text = "\"" +
                         visibleText(platform::wideToUtf8(
                             platform::ansiToWide({reinterpret_cast<const char*>(record + field.offset), length}))) +
                         "\"";
      if (length == field.width) text += " (no terminator)";
      return text;
    }
  }
  return {};
}

// The bytes outside the named fields (and behind a text's terminator) that
// no longer hold the prefill byte, as ranges "from-to".
std::vector<std::string> touchedElsewhere(const std::uint8_t* record, std::uint8_t prefill) {
  std::vector<bool> named(kPaymentResultSize, false);
  for (const Field& field : kFields) {
    std::size_t width = field.kind == Kind::Text ? std::min(textLength(record, field) + 1, field.width) : field.width;
    for (std::size_t i = 0; i < width; ++i) named[field.offset + i] = true;
  }
  std::vector<std::string> ranges;
  for (std::size_t i = 0; i < kPaymentResultSize; ++i) {
    if (named[i] || record[i] == prefill) continue;
    std::size_t end = i;
    while (end + 1 < kPaymentResultSize && !named[end + 1] && record[end + 1] != prefill) ++end;
    ranges.push_back(i == end ? std::to_string(i) : std::to_string(i) + "-" + std::to_string(end));
    i = end;
  }
  return ranges;
}

bool untouched(const std::uint8_t* record, std::uint8_t prefill) {
  for (std::size_t i = 0; i < kPaymentResultSize; ++i) {
    if (record[i] != prefill) return false;
  }
  return true;
}

}  // namespace

void printPaymentResult(const std::uint8_t* record, std::uint8_t prefill, std::ostream& out) {
  out << "PaymentResult (" << kPaymentResultSize << " bytes, prefilled with " << static_cast<unsigned>(prefill)
      << "):\n";
  if (untouched(record, prefill)) {
    out << "  untouched: every byte as prefilled\n";
    return;
  }
  for (const Field& field : kFields) {
    out << "  " << std::left << std::setw(32) << field.name << " " << valueOf(record, field) << "\n";
  }
  std::vector<std::string> ranges = touchedElsewhere(record, prefill);
  if (ranges.empty()) {
    out << "  every other byte keeps the prefill\n";
    return;
  }
  out << "  bytes changed outside the fields:";
  for (const std::string& range : ranges) out << " " << range;
  out << "\n";
}

}  // namespace qel::qelhost
