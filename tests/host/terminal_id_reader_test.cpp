// Tests for the terminal number lookup in "Sales.ini".
#include "host/terminal_id_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/scratch_dir.h"

namespace qel {
namespace {

constexpr char kScratchFile[] = "terminal_id_reader_test.ini";

void writeFile(const std::string& name, const std::string& bytes) {
  std::ofstream out(name, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::wstring lookUp(const std::string& content) {
  test::ScratchDir dir;
  writeFile(kScratchFile, content);
  return TerminalIdReader(kScratchFile).terminalId();
}

struct Case {
  const char* name;
  std::string content;
  std::wstring expected;
};

class TerminalIdContent : public testing::TestWithParam<Case> {};

TEST_P(TerminalIdContent, GivesExpectedTerminalId) { EXPECT_EQ(lookUp(GetParam().content), GetParam().expected); }

const std::string k99 = std::string(99, 'a');

INSTANTIATE_TEST_SUITE_P(
    Fields, TerminalIdContent,
    testing::Values(Case{"EmptyFile", "", L"16213"}, Case{"KeyAndValue", "TerminalID=4711", L"4711"},
                    Case{"SecondFieldOnly", "TerminalID=12=34", L"12"},
                    Case{"KeyNotFirstField", "Kasse=TerminalID=7", L"7"},
                    Case{"BlankBeforeEquals", "TerminalID =5", L"16213"},
                    Case{"BlankAfterKeyField", " TerminalID=5", L"16213"},
                    Case{"OtherLetterCase", "terminalid=5\r\nTERMINALID=6", L"16213"},
                    Case{"EmptyFieldCounts", "TerminalID==5", L""}, Case{"EqualsAtLineEnd", "TerminalID=", L"16213"},
                    Case{"EqualsAtLineEndKeepsEarlier", "TerminalID=3\r\nTerminalID=\r\n", L"3"},
                    Case{"KeyAlone", "TerminalID", L"16213"},
                    Case{"LastMatchInFileWins", "[A]\r\nTerminalID=1\r\n[B]\r\nTerminalID=2\r\n", L"2"},
                    Case{"LastMatchInLineWins", "TerminalID=TerminalID=8", L"8"},
                    Case{"TrailingBlankKept", "TerminalID=3 \r\n", L"3 "},
                    Case{"ValueIsUtf8", "TerminalID=Kasse-\xC3\x9C-\xE2\x82\xAC", L"Kasse-\u00DC-\u20AC"},
                    Case{"SectionAndCommentAreFields", "; TerminalID=9\r\n", L"16213"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(LineEnds, TerminalIdContent,
                         testing::Values(Case{"CrLfIsOneLineEnd", "TerminalID=9\r\nX=1\r\n", L"9"},
                                         Case{"LfAloneEndsLine", "TerminalID=9\nX=1\n", L"9"},
                                         Case{"LoneCrStaysInLine", "TerminalID=9\rX=1", L"9\rX"},
                                         Case{"CrBeforeCrLfStays", "TerminalID=5\r\r\n", L"5\r"},
                                         Case{"CrAtEndOfFileStays", "TerminalID=5\r", L"5\r"},
                                         Case{"LastLineWithoutLineEnd", "A=1\r\nTerminalID=5", L"5"},
                                         Case{"CtrlZEndsFile", "TerminalID=5\r\n\x1ATerminalID=6\r\n", L"5"}),
                         [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// Bytes of `ascii` in UTF-16, little or big endian.
std::string utf16(const std::string& ascii, bool bigEndian) {
  std::string bytes;
  for (const char c : ascii) bytes += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
  return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, TerminalIdContent,
    testing::Values(
        Case{"Utf8MarkSkipped", "\xEF\xBB\xBFTerminalID=5\r\n", L"5"},
        Case{"Utf8MarkOnlyAtStart", "A=1\r\n\xEF\xBB\xBFTerminalID=5\r\n", L"16213"},
        Case{"Utf16LittleEndian", "\xFF\xFE" + utf16("[Kasse]\r\nTerminalID=4711\r\nX=1\r\n", false), L"4711"},
        Case{"Utf16BigEndian", "\xFE\xFF" + utf16("TerminalID=0815=9\n", true), L"0815"},
        Case{"Utf16BeyondBasicPlane",
             "\xFF\xFE" + utf16("TerminalID=", false) + std::string("\xC4\x00\x3D\xD8\x00\xDE", 6),
             L"\u00C4\U0001F600"},
        Case{"Utf16LoneSurrogateReplaced", "\xFE\xFF" + utf16("TerminalID=", true) + std::string("\xD8\x3D\x00\x41", 4),
             L"\uFFFDA"},
        Case{"Utf16OddLastByteDropped", "\xFF\xFE" + utf16("TerminalID=7", false) + "8", L"7"},
        Case{"Utf16NulEndsValue",
             "\xFF\xFE" + utf16("TerminalID=12", false) + std::string(2, '\0') + std::string("3\0", 2), L"12"},
        Case{"Utf16WithoutMarkNotRead", utf16("TerminalID=5", false), L"16213"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Length, TerminalIdContent,
    testing::Values(Case{"NinetyNineBytesKept", "TerminalID=" + k99, std::wstring(99, L'a')},
                    Case{"LongAsciiCutTo99", "TerminalID=" + k99 + "bcdef", std::wstring(99, L'a')},
                    Case{"TwoByteCharacterAcrossLimitDropped", "TerminalID=" + std::string(98, 'a') + "\xC3\xA9" + "x",
                         std::wstring(98, L'a')},
                    Case{"ThreeByteCharacterAcrossLimitDropped", "TerminalID=" + std::string(97, 'a') + "\xE2\x82\xAC",
                         std::wstring(97, L'a')},
                    Case{"FourContinuationBytesCutAtLimit",
                         "TerminalID=" + std::string(96, 'a') + "\x80\x80\x80\x80\x80",
                         std::wstring(96, L'a') + std::wstring(3, L'\uFFFD')},
                    Case{"Utf16CutTo99Bytes",
                         "\xFF\xFE" + utf16("TerminalID=" + std::string(98, 'a'), false) + "\xAC\x20",
                         std::wstring(98, L'a')},
                    Case{"CharacterEndingAtLimitKept", "TerminalID=" + std::string(97, 'a') + "\xC3\xA9" + "xyz",
                         std::wstring(97, L'a') + L"\u00E9"},
                    Case{"NulEndsValue",
                         std::string("TerminalID=12\0"
                                     "34",
                                     16),
                         L"12"}),
    [](const testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// The keys that only look like "TerminalID", with their lines, for check's
// hint: another letter case or blanks around it; at most ten of them.
TEST(TerminalIdReader, NamesTheKeysThatOnlyLookLikeIt) {
  std::string eleven;
  std::vector<std::pair<int, std::string>> firstTen;
  for (int i = 1; i <= 11; ++i) {
    eleven += "terminalid=" + std::to_string(i) + "\n";
    if (i <= 10) firstTen.emplace_back(i, "terminalid");
  }
  const struct {
    const char* name;
    std::string content;
    std::vector<std::pair<int, std::string>> lookalikes;
  } cases[] = {
      {"case and blanks",
       "[Kasse]\r\nTerminalId=1\r\n TerminalID\t=2\r\nTERMINALID=3=4\r\n",
       {{2, "TerminalId"}, {3, " TerminalID\t"}, {4, "TERMINALID"}}},
      {"the key itself, others and no value",
       "TerminalID=1\nTerminal=2\nTerminalIDs=3\nterminalid=\nx=TerminalId=5\nTerminalNr=6\n",
       {{5, "TerminalId"}}},
      {"the limit", eleven, firstTen},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::ScratchDir dir;
    writeFile(kScratchFile, c.content);
    std::vector<std::pair<int, std::string>> found;
    const TerminalIdReader reader(kScratchFile);
    for (const TerminalKeyLookalike& l : reader.lookalikes()) found.emplace_back(l.line, l.field);
    EXPECT_EQ(found, c.lookalikes);
  }
}

TEST(TerminalIdReader, MissingFileGivesDefault) {
  test::ScratchDir dir;
  EXPECT_EQ(TerminalIdReader(kScratchFile).terminalId(), L"16213");
  EXPECT_EQ(TerminalIdReader().terminalId(), L"16213");
}

TEST(TerminalIdReader, DefaultConstructorReadsSalesIniInWorkingFolder) {
  test::ScratchDir dir;
  writeFile("Sales.ini", "[Kasse]\r\nTerminalID=0815\r\n");
  EXPECT_EQ(TerminalIdReader().terminalId(), L"0815");
}

TEST(TerminalIdReader, FileHeldOpenForWritingIsStillRead) {
  test::ScratchDir dir;
  writeFile(kScratchFile, "TerminalID=42\r\n");
  std::FILE* writer = std::fopen(kScratchFile, "ab");
  ASSERT_NE(writer, nullptr);
  std::wstring found = TerminalIdReader(kScratchFile).terminalId();
  std::fclose(writer);
  EXPECT_EQ(found, L"42");
}

}  // namespace
}  // namespace qel
