// Templates read straight into the output: the same text as a template taken
// apart, filled slot by slot, on the library's templates and on random ones.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "base/vub_exception.h"
#include "render/request_template.h"
#include "render/template_scan.h"

namespace qel {
namespace {

// A slot's value brings braces and a key's name of its own, which must
// never be read as a placeholder.
void writeValue(TextBuffer& out, std::size_t slot) {
  out.append("<" + std::to_string(slot) + "{id}{a}}>");
}

std::string streamed(std::int32_t id, TemplateLines lines, const std::string_view (&keys)[4]) {
  StreamedTemplate t;
  t.load(id);
  TextBuffer out;
  out.append("before|");
  t.appendTo(out, lines, keys, writeValue);
  return std::string(out.view());
}

std::string takenApart(std::int32_t id, TemplateLines lines, const std::string_view (&keys)[4]) {
  RequestTemplate t;
  t.load(id, lines);
  t.bindSlots(keys);
  TextBuffer out;
  out.append("before|");
  t.appendTo(out, writeValue);
  return std::string(out.view());
}

TEST(StreamedTemplateTest, WritesWhatTheTakenApartTemplateWrites) {
  // Keys of several templates, so that each template has some and lacks
  // others, and a name that none has.
  const std::string_view keySets[][4] = {{"auftrag", "id", "summe", "nirgends"},
                                         {"ticketinfos", "veranstaltungen", "gesamtpreis", "name"},
                                         {"zusatzgebuehren", "terminalId", "vvkref", "bis"}};
  for (std::int32_t id = 101; id <= 106; ++id) {
    for (const TemplateLines lines : {TemplateLines::AsStored, TemplateLines::Joined}) {
      for (const auto& keys : keySets) {
        EXPECT_EQ(streamed(id, lines, keys), takenApart(id, lines, keys))
            << id << (lines == TemplateLines::Joined ? " joined" : " as stored");
      }
    }
  }
}

TEST(StreamedTemplateTest, MissingTemplateIsReportedWhenLoaded) {
  StreamedTemplate t;
  EXPECT_THROW(t.load(107), VubException);
}

// The rule, on the text that the scan reads and its braces: each opening
// brace up to the first closing brace after it names a placeholder; they are
// taken left to right, and one that begins inside a filled one is not.
std::string byTheRule(const std::string& bytes, bool joinLines, const std::vector<std::string_view>& keys) {
  std::string text;
  std::vector<TemplateBrace> braces;
  if (!scanAsciiTemplate(bytes, joinLines, text, braces)) return "not ASCII";
  std::string result;
  std::size_t start = 0;
  for (const TemplateBrace& b : braces) {
    if (b.open < start || b.close == std::string::npos) continue;
    const std::string name = text.substr(b.open + 1, b.close - b.open - 1);
    for (std::size_t slot = 0; slot < keys.size(); ++slot) {
      if (keys[slot] != name) continue;
      result += text.substr(start, b.open - start);
      TextBuffer value;
      writeValue(value, slot);
      result += value.view();
      start = b.close + 1;
      break;
    }
  }
  return result + text.substr(start);
}

TEST(StreamedTemplateTest, FillsRandomTemplatesByTheRule) {
  std::mt19937 random(1207);
  const std::string alphabet = "{}ab\r\n\t";
  const std::vector<std::string_view> keys = {"a", "ab", "b", "", "ba"};
  for (int round = 0; round < 20000; ++round) {
    std::string bytes(random() % 24, ' ');
    for (char& c : bytes) c = alphabet[random() % alphabet.size()];
    for (const bool joinLines : {false, true}) {
      TextBuffer out;
      ASSERT_TRUE(appendFilledAscii(out, bytes, joinLines ? TemplateLines::Joined : TemplateLines::AsStored,
                                    keys.data(), keys.size(), writeValue));
      ASSERT_EQ(std::string(out.view()), byTheRule(bytes, joinLines, keys)) << '"' << bytes << '"' << joinLines;
    }
  }
}

TEST(StreamedTemplateTest, ByteBeyondAsciiLeavesTheOutputAsItWas) {
  const std::string_view keys[] = {"id"};
  TextBuffer out;
  out.append("kept");
  EXPECT_FALSE(appendFilledAscii(out, "<a>{id}</a>\xE4{id}", TemplateLines::Joined, keys, 1, writeValue));
  EXPECT_EQ(out.view(), "kept");
}

}  // namespace
}  // namespace qel
