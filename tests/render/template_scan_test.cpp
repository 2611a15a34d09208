// Tests of reading a template's bytes a word at a time against a plain
// byte-by-byte reading of the same bytes.
#include "render/template_scan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace qel {
namespace {

struct Reading {
  bool ascii = true;
  std::string text;
  std::vector<TemplateBrace> braces;
};

// One byte at a time: the rule the scan must follow.
Reading readByBytes(const std::string& bytes, bool joinLines) {
  Reading r;
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) return Reading{false, {}, {}};
    if (c == '{') {
      r.braces.push_back(TemplateBrace{r.text.size(), std::string::npos});
    } else if (c == '}') {
      for (TemplateBrace& b : r.braces) {
        if (b.close == std::string::npos) b.close = r.text.size();
      }
    } else if (joinLines && (c == '\n' || c == '\t' || c == '\r')) {
      continue;
    }
    r.text += c;
  }
  return r;
}

Reading scan(const std::string& bytes, bool joinLines) {
  Reading r;
  r.ascii = scanAsciiTemplate(bytes, joinLines, r.text, r.braces);
  return r;
}

void expectSame(const std::string& bytes, bool joinLines) {
  const Reading expected = readByBytes(bytes, joinLines);
  const Reading actual = scan(bytes, joinLines);
  ASSERT_EQ(actual.ascii, expected.ascii) << bytes;
  ASSERT_EQ(actual.text, expected.text) << bytes;
  ASSERT_EQ(actual.braces.size(), expected.braces.size()) << bytes;
  for (std::size_t i = 0; i < expected.braces.size(); ++i) {
    EXPECT_EQ(actual.braces[i].open, expected.braces[i].open) << bytes;
    EXPECT_EQ(actual.braces[i].close, expected.braces[i].close) << bytes;
  }
}

TEST(TemplateScanTest, ChosenTextsReadAsByteByByte) {
  const std::string cases[] = {
      "",
      "abc",
      "abcdefgh",
      "abcdefghijklmnopq",
      "\t\t<Dwbelegnr>{belegnummer}</Dwbelegnr>\r\n\t\t<Szwaehrung>{waehrung}</Szwaehrung>\r\n",
      "{a}{b}}{{c",
      "1234567{",
      "12345678{9}",
      "x\x0b" "y\x1f" "z\x7f" "{|}~",
      "abcdefg\x80",
      "abcdefgh\xc3\xbc",
      "\r\n\r\n\t\t\t\t\t\t\t\t\t\t",
  };
  for (const std::string& bytes : cases) {
    expectSame(bytes, true);
    expectSame(bytes, false);
  }
}

// Texts of every length up to a few words, dense with the bytes that the
// word tests look for, so that each falls at every place in a word.
TEST(TemplateScanTest, RandomTextsReadAsByteByByte) {
  const char alphabet[] = {'a', 'Z', '{', '}', '|', '\n', '\t', '\r', ' ', '\x0b', '\x1f', '\x7f', '\x20', 'z'};
  std::mt19937 random(20261207);
  std::uniform_int_distribution<std::size_t> pick(0, sizeof alphabet - 1);
  std::uniform_int_distribution<int> rare(0, 200);
  for (std::size_t length = 0; length < 48; ++length) {
    for (int round = 0; round < 40; ++round) {
      std::string bytes;
      for (std::size_t i = 0; i < length; ++i) bytes += rare(random) == 0 ? '\xe4' : alphabet[pick(random)];
      expectSame(bytes, true);
      expectSame(bytes, false);
    }
  }
}

TEST(TemplateScanTest, BracesOfAnEarlierTextStayAsTheyWere) {
  std::string text;
  std::vector<TemplateBrace> braces{{7, 9}, {11, std::string::npos}};
  ASSERT_TRUE(scanAsciiTemplate("{k}", true, text, braces));
  ASSERT_EQ(braces.size(), 3u);
  EXPECT_EQ(braces[1].close, std::string::npos);
  EXPECT_EQ(braces[2].open, 0u);
  EXPECT_EQ(braces[2].close, 2u);
  EXPECT_FALSE(scanAsciiTemplate("{k}\xfc", true, text, braces));
  EXPECT_EQ(braces.size(), 3u);
  EXPECT_EQ(text, "");
}

}  // namespace
}  // namespace qel
