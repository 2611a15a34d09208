// Reading a template's bytes as the request is built from them: copied, with
// or without line breaks, and its braces handed over, in one pass.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace qel {

// Where a placeholder can begin: an opening brace, and the first closing
// brace after it (npos if none). A key without a closing brace of its own
// can only match where the closing brace lies right after the key.
struct TemplateBrace {
  std::size_t open;
  std::size_t close;
};

// Copies ASCII template `bytes` into `text` (without line breaks and tabs
// when `joinLines`) and appends their braces to `braces`, at their places
// in `text`. Returns false, with `text` and `braces` emptied, when a byte is
// not ASCII.
bool scanAsciiTemplate(std::string_view bytes, bool joinLines, std::string& text, std::vector<TemplateBrace>& braces);

namespace scan {

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

inline bool isLineBreakOrTab(char c) { return c == '\n' || c == '\t' || c == '\r'; }

}  // namespace scan

// The pass itself, writing into any sink that offers
//   char* room(std::size_t n)  room for n bytes after what is committed,
//   void commit(char* end)     takes everything up to `end` into the text,
//   bool brace(char c)         called at each '{' and '}' with all before it
//                              committed; true when the sink has dealt with
//                              the brace itself (it may have written), false
//                              to have it copied like any other byte.
// A word without a brace, a control character (when lines are joined) or a
// non-ASCII byte is copied whole; otherwise everything before its first such
// byte is, and that byte is handled on its own. Returns false at the first
// byte that is not ASCII, with what came before it committed.
template <typename Sink>
bool scanAsciiInto(std::string_view bytes, bool joinLines, Sink& sink) {
  using namespace scan;
  const char* in = bytes.data();
  const char* const end = in + bytes.size();
  // Room for the last word's whole eight bytes, of which only some count.
  char* out = sink.room(bytes.size() + sizeof(std::uint64_t));
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
      sink.commit(out);
      return false;
    }
    if (c == '{' || c == '}') {
      sink.commit(out);
      const bool handled = sink.brace(c);
      out = sink.room(static_cast<std::size_t>(end - in) + 1 + sizeof(std::uint64_t));
      if (handled) continue;
    } else if (joinLines && isLineBreakOrTab(c)) {
      // A line ends in a run of these (CR LF and the next line's tabs),
      // dropped here at once rather than a word at a time.
      while (in != end && isLineBreakOrTab(*in)) ++in;
      continue;
    }
    *out++ = c;
  }
  sink.commit(out);
  return true;
}

}  // namespace qel
