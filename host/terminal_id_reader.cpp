// Looks up "TerminalID" in "Sales.ini" the way the host's own settings are
// read: line by line in text mode, every line split at each "=".
#include "host/terminal_id_reader.h"

#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace qel {
namespace {

constexpr char kSettingsFile[] = "Sales.ini";
constexpr std::string_view kKey = "TerminalID";
constexpr std::string_view kDefaultTerminalId = "16213";

// The value is held as C text in a buffer of 100 bytes with its terminator.
constexpr std::size_t kMaxValueBytes = 99;
// The longest UTF-8 sequence has three continuation bytes.
constexpr std::size_t kMaxContinuationBytes = 3;

// Windows text mode ends a file at the first Ctrl-Z byte.
constexpr char kTextModeEndOfFile = '\x1A';

// Splits the file into lines as Windows text mode delivers them: a CR LF pair
// and a lone LF end a line, a lone CR stays part of it, and a Ctrl-Z ends the
// file. The last line counts even without a line end.
std::vector<std::string_view> splitLines(std::string_view content) {
  content = content.substr(0, content.find(kTextModeEndOfFile));
  std::vector<std::string_view> lines;
  while (!content.empty()) {
    std::size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    if (end != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    content = end == std::string_view::npos ? std::string_view() : content.substr(end + 1);
  }
  return lines;
}

// Splits a line at every "=". A line that ends in "=" has no field after it.
std::vector<std::string_view> splitFields(std::string_view line) {
  std::vector<std::string_view> fields;
  std::size_t start = 0;
  for (;;) {
    std::size_t eq = line.find('=', start);
    fields.push_back(line.substr(start, eq == std::string_view::npos ? std::string_view::npos : eq - start));
    if (eq == std::string_view::npos || eq + 1 == line.size()) break;
    start = eq + 1;
  }
  return fields;
}

// Bounds a value to the 99 bytes that its buffer holds, cut back so that no
// UTF-8 character is split. A NUL byte ends the value as it ends C text.
std::string_view boundValue(std::string_view value) {
  value = value.substr(0, value.find('\0'));
  if (value.size() <= kMaxValueBytes) return value;
  std::size_t cut = kMaxValueBytes;
  auto isContinuation = [&](std::size_t i) { return (static_cast<unsigned char>(value[i]) & 0xC0) == 0x80; };
  while (cut > kMaxValueBytes - kMaxContinuationBytes && isContinuation(cut)) --cut;
  // Bytes that are not UTF-8 at all are cut at the limit; the conversion
  // replaces what is broken.
  if (isContinuation(cut)) cut = kMaxValueBytes;
  return value.substr(0, cut);
}

// The value after the last "TerminalID" field of the content, or the default.
std::string_view findValue(std::string_view content) {
  std::string_view value = kDefaultTerminalId;
  for (std::string_view line : splitLines(content)) {
    std::vector<std::string_view> fields = splitFields(line);
    for (std::size_t i = 0; i + 1 < fields.size(); ++i) {
      if (fields[i] == kKey) value = fields[i + 1];
    }
  }
  return value;
}

std::wstring lookUp(const std::string& fileName) {
  // A file that cannot be read holds no terminal number: the default stands.
  std::string content;
  platform::readFile(fileName, content);
  return platform::utf8ToWide(boundValue(findValue(content)));
}

}  // namespace

TerminalIdReader::TerminalIdReader() : TerminalIdReader(kSettingsFile) {}

TerminalIdReader::TerminalIdReader(const std::string& fileName) : terminalId_(lookUp(fileName)) {}

}  // namespace qel
