// Decoding text by its byte-order mark, and markup run by run.
#include "base/text_encoding.h"

#include <string_view>

#include "base/utf8.h"
#include "platform/platform.h"

namespace qel {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LittleEndianMark = "\xFF\xFE";
constexpr std::string_view kUtf16BigEndianMark = "\xFE\xFF";

std::string utf16AsUtf8(std::string_view bytes, bool bigEndian) {
  std::u16string units(bytes.size() / 2, u'\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    const auto first = static_cast<unsigned char>(bytes[2 * i]);
    const auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
    units[i] = static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first);
  }
  return utf16ToUtf8(units);
}

bool startsWith(std::string_view bytes, std::string_view mark) { return bytes.substr(0, mark.size()) == mark; }

}  // namespace

std::string decodeByteOrderMark(std::string content) {
  const std::string_view bytes = content;
  if (startsWith(bytes, kUtf8Mark)) return content.substr(kUtf8Mark.size());
  if (startsWith(bytes, kUtf16LittleEndianMark)) {
    return utf16AsUtf8(bytes.substr(kUtf16LittleEndianMark.size()), false);
  }
  if (startsWith(bytes, kUtf16BigEndianMark)) return utf16AsUtf8(bytes.substr(kUtf16BigEndianMark.size()), true);
  return content;
}

std::string decodeMixedRuns(const std::string& content, bool& ansiRuns) {
  ansiRuns = false;
  if (platform::isValidUtf8(content)) return content;
  std::string out;
  out.reserve(content.size() + content.size() / 2);
  std::size_t start = 0;
  while (start < content.size()) {
    const std::size_t delimiter = content.find_first_of("<>", start);
    const std::size_t end = delimiter == std::string::npos ? content.size() : delimiter;
    const std::string_view run(content.data() + start, end - start);
    if (platform::isValidUtf8(run)) {
      out.append(run);
    } else {
      out += platform::wideToUtf8(platform::ansiToWide(run));
      ansiRuns = true;
    }
    if (delimiter == std::string::npos) break;
    out += content[delimiter];
    start = delimiter + 1;
  }
  return out;
}

}  // namespace qel
