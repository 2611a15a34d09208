// Looks up "TerminalID" in "Sales.ini" the way the host's own settings are
// read: line by line in text mode, every line split at each "=". A file that
// an editor saved with a byte-order mark (UTF-8, or UTF-16 as Notepad's
// "Unicode") is decoded to UTF-8 first.
#include "host/terminal_id_reader.h"

#include <cctype>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/system_error_text.h"
#include "base/text_encoding.h"
#include "base/vub_exception.h"
#include "host/working_files.h"
#include "platform/platform.h"

namespace qel {
namespace {

constexpr std::string_view kKey = "TerminalID";
constexpr std::string_view kDefaultTerminalId = "16213";

const wchar_t kNotReadPrefix[] = L"Could not read file '";
const wchar_t kNotReadMiddle[] = L"': ";
const wchar_t kNotRegular[] = L"not a regular file";
const wchar_t kTooLargePrefix[] = L"File '";
const wchar_t kTooLargeSuffix[] = L"' exceeds 64 MiB";
// No real Sales.ini comes near a few MiB; a larger one is refused rather
// than read into memory, so that a runaway file cannot exhaust the host's
// address space.
constexpr std::size_t kMaxFileBytes = std::size_t{64} << 20;

// The value is held as C text in a buffer of 100 bytes with its terminator.
constexpr std::size_t kMaxValueBytes = 99;
// The longest UTF-8 sequence has three continuation bytes.
constexpr std::size_t kMaxContinuationBytes = 3;

// Windows text mode ends a file at the first Ctrl-Z byte.
constexpr char kTextModeEndOfFile = '\x1A';

// Calls `take(line)` for every line as Windows text mode delivers them: a
// CR LF pair and a lone LF end a line, a lone CR stays part of it, and a
// Ctrl-Z ends the file. The last line counts even without a line end.
template <typename Take>
void forEachLine(std::string_view content, Take&& take) {
  content = content.substr(0, content.find(kTextModeEndOfFile));
  while (!content.empty()) {
    const std::size_t end = content.find('\n');
    std::string_view line = content.substr(0, end);
    if (end != std::string_view::npos && !line.empty() && line.back() == '\r') line.remove_suffix(1);
    take(line);
    content = end == std::string_view::npos ? std::string_view() : content.substr(end + 1);
  }
}

// Calls `take(field, next)` for every field of a line split at each "=" that
// has a field after it. A line that ends in "=" has no field after its last
// "=".
template <typename Take>
void forEachFieldPair(std::string_view line, Take&& take) {
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos || eq + 1 == line.size()) return;
  std::string_view field = line.substr(0, eq);
  for (;;) {
    const std::size_t start = eq + 1;
    eq = line.find('=', start);
    const std::string_view next =
        line.substr(start, eq == std::string_view::npos ? std::string_view::npos : eq - start);
    take(field, next);
    if (eq == std::string_view::npos || eq + 1 == line.size()) return;
    field = next;
  }
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

// A field that a person would take for the key: the same letters in
// another case, or the key with blanks around it.
bool looksLikeKey(std::string_view field) {
  const std::size_t first = field.find_first_not_of(" \t");
  if (first == std::string_view::npos) return false;
  field = field.substr(first, field.find_last_not_of(" \t") - first + 1);
  if (field.size() != kKey.size()) return false;
  for (std::size_t i = 0; i < field.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(field[i])) != std::tolower(static_cast<unsigned char>(kKey[i]))) {
      return false;
    }
  }
  return true;
}

struct Lookup {
  std::optional<std::string_view> value;
  std::vector<TerminalKeyLookalike> lookalikes;
};

// The value after the last "TerminalID" field of the content, if any, and
// the fields that only look like the key.
Lookup findValue(std::string_view content) {
  Lookup found;
  int lineNumber = 0;
  forEachLine(content, [&](std::string_view line) {
    ++lineNumber;
    forEachFieldPair(line, [&](std::string_view field, std::string_view next) {
      if (field == kKey) {
        found.value = next;
      } else if (looksLikeKey(field) && found.lookalikes.size() < TerminalIdReader::kMaxLookalikes) {
        found.lookalikes.push_back({lineNumber, std::string(field)});
      }
    });
  });
  return found;
}

// The file's content. A missing file, or a folder in its place, holds no
// terminal number; a file that is there but cannot be read might hold
// another one, so the sale must not go ahead under the default.
std::string readContent(const std::string& fileName) {
  std::string content;
  const platform::FileReadResult read = platform::readFile(fileName, content, kMaxFileBytes);
  const std::wstring notRead = kNotReadPrefix + platform::utf8ToWide(fileName) + kNotReadMiddle;
  switch (read.status) {
    case platform::FileRead::Ok:
    case platform::FileRead::Missing:
    case platform::FileRead::Folder:
      return content;
    case platform::FileRead::NotRegular:
      throw VubException(notRead + kNotRegular);
    case platform::FileRead::TooLarge:
      throw VubException(kTooLargePrefix + platform::utf8ToWide(fileName) + kTooLargeSuffix);
    case platform::FileRead::NotOpened:
    case platform::FileRead::Failed:
      break;
  }
  throw VubException(notRead + systemErrorWithCode(read.systemError), static_cast<std::int32_t>(read.systemError));
}

}  // namespace

TerminalIdReader::TerminalIdReader() : TerminalIdReader(kTerminalFileName) {}

TerminalIdReader::TerminalIdReader(const std::string& fileName) {
  const std::string content = decodeByteOrderMark(readContent(fileName));
  Lookup found = findValue(content);
  terminalId_ = platform::utf8ToWide(boundValue(found.value.value_or(kDefaultTerminalId)));
  fromFile_ = found.value.has_value();
  lookalikes_ = std::move(found.lookalikes);
}

}  // namespace qel
