// Reading a template's bytes eight at a time: the envelope's templates are
// read for every transaction, so this pass is on every sale's way.
#include "render/template_scan.h"

#include <cstdint>
#include <cstring>

namespace qel {
namespace {

// Word-at-a-time tests on eight bytes: each sets the high bit of a byte that
// matches (exactly for the lowest matching byte; bytes above it may also be
// marked, which only sends them through the byte-by-byte path).
constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

constexpr std::uint64_t zeroBytes(std::uint64_t word) { return (word - kOnes) & ~word & kHighBits; }
constexpr std::uint64_t bytesBelow(std::uint64_t word, unsigned char limit) {
  return (word - kOnes * limit) & ~word & kHighBits;
}

static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the first marked byte of a word is found from its low end");

bool isLineBreakOrTab(char c) { return c == '\n' || c == '\t' || c == '\r'; }

}  // namespace

// A word without a brace, a control character (when lines are joined) or a
// non-ASCII byte is copied whole; otherwise everything before its first such
// byte is, and that byte is handled on its own.
bool scanAsciiTemplate(std::string_view bytes, bool joinLines, std::string& text, std::vector<TemplateBrace>& braces) {
  // Room for the last word's whole eight bytes, of which only some count.
  text.resize(bytes.size() + sizeof(std::uint64_t));
  char* const begin = text.data();
  char* out = begin;
  const std::size_t firstBrace = braces.size();
  std::size_t unclosed = firstBrace;  // the braces from here on wait for a closing brace
  const char* in = bytes.data();
  const char* const end = in + bytes.size();
  for (;;) {
    if (end - in >= static_cast<std::ptrdiff_t>(sizeof(std::uint64_t))) {
      std::uint64_t word;
      std::memcpy(&word, in, sizeof word);
      std::uint64_t marks = (word & kHighBits) | zeroBytes(word ^ (kOnes * '{')) | zeroBytes(word ^ (kOnes * '}'));
      if (joinLines) marks |= bytesBelow(word, 0x20);
      std::memcpy(out, &word, sizeof word);
      if (marks == 0) {
        in += sizeof word;
        out += sizeof word;
        continue;
      }
      const auto plain = static_cast<std::size_t>(__builtin_ctzll(marks) / 8);
      in += plain;
      out += plain;
    } else if (in == end) {
      break;
    }
    const char c = *in++;
    if (static_cast<unsigned char>(c) >= 0x80) {
      text.clear();
      braces.resize(firstBrace);
      return false;
    }
    if (c == '{') {
      braces.push_back(TemplateBrace{static_cast<std::size_t>(out - begin), std::string::npos});
    } else if (c == '}') {
      for (; unclosed < braces.size(); ++unclosed) braces[unclosed].close = static_cast<std::size_t>(out - begin);
    } else if (joinLines && isLineBreakOrTab(c)) {
      // A line ends in a run of these (CR LF and the next line's tabs),
      // dropped here at once rather than a word at a time.
      while (in != end && isLineBreakOrTab(*in)) ++in;
      continue;
    }
    *out++ = c;
  }
  text.resize(static_cast<std::size_t>(out - begin));
  return true;
}

}  // namespace qel
