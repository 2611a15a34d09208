// The Win32 side of the platform layer against the real system: resources,
// code pages of a German Windows, shared files and message boxes.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "boxoffice/box_hook_win32.h"
#include "platform/platform.h"
#include "tests/support/scratch_dir.h"

namespace {

namespace platform = qel::platform;
using qel::boxoffice::BoxHook;
using qel::boxoffice::kIdCancel;
using qel::boxoffice::kIdOk;

std::string readTemplateFile(int id) {
  const std::wstring path = std::wstring(QEL_TEMPLATE_DIR) + L"/" + std::to_wstring(id) + L".xml";
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Win32Templates, EachResourceHoldsExactlyItsFile) {
  struct Case {
    std::uint16_t id;
    std::size_t size;  // 0: not fixed, the file decides
  };
  const Case cases[] = {{101, 0}, {102, 1000}, {103, 411}, {104, 200}, {105, 179}, {106, 178}};
  for (const Case& c : cases) {
    std::uint32_t error = 0;
    const auto bytes = platform::findTemplate(c.id, error);
    ASSERT_TRUE(bytes.has_value()) << c.id << " error " << error;
    const std::string file = readTemplateFile(c.id);
    ASSERT_FALSE(file.empty()) << c.id;
    EXPECT_EQ(std::string(*bytes), file) << c.id;
    if (c.size != 0) {
      EXPECT_EQ(bytes->size(), c.size) << c.id;
    }
  }
}

TEST(Win32Templates, MissingIdsReportTheSystemError) {
  for (std::uint16_t id : {0, 100, 107, 65535}) {
    std::uint32_t error = 0;
    EXPECT_FALSE(platform::findTemplate(id, error).has_value()) << id;
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_RESOURCE_NAME_NOT_FOUND)) << id;
  }
}

TEST(Win32Module, BaseAddressIsTheModuleHoldingTheCode) {
  // The platform layer is linked into this test program, so its module is
  // the executable.
  EXPECT_EQ(platform::moduleBaseAddress(), reinterpret_cast<std::uintptr_t>(GetModuleHandleW(nullptr)));
}

// Wine runs these tests as a German Windows: the ANSI code page is 1252.
TEST(Win32Text, AnsiIsWindows1252) {
  EXPECT_EQ(GetACP(), 1252u);
  struct Case {
    std::string bytes;
    std::wstring text;
  };
  const Case cases[] = {
      {"", L""},
      {"Kasse 7", L"Kasse 7"},
      {"\xE4\xF6\xFC\xC4\xD6\xDC\xDF", L"\u00E4\u00F6\u00FC\u00C4\u00D6\u00DC\u00DF"},
      {"\x80\x84\x93\x9C", L"\u20AC\u201E\u201C\u0153"},
      {"\x81\x8D\x8F\x90\x9D", L"\u0081\u008D\u008F\u0090\u009D"},
      {std::string("a\0b", 3), std::wstring(L"a\0b", 3)},
  };
  for (const Case& c : cases) EXPECT_EQ(platform::ansiToWide(c.bytes), c.text) << c.bytes;
}

// A host thread that switches its locale hands in text of that locale's
// code page.
TEST(Win32Text, AnsiFollowsTheCallingThreadsLocale) {
  const LCID previous = GetThreadLocale();
  ASSERT_TRUE(SetThreadLocale(MAKELCID(MAKELANGID(LANG_RUSSIAN, SUBLANG_RUSSIAN_RUSSIA), SORT_DEFAULT)));
  const std::wstring text = platform::ansiToWide("\xC0\xE4");
  SetThreadLocale(previous);
  EXPECT_EQ(text, L"\u0410\u0434");
  EXPECT_EQ(platform::ansiToWide("\xC0\xE4"), L"\u00C0\u00E4");
}

TEST(Win32Text, Utf8ConvertsBothWays) {
  struct Case {
    std::string utf8;
    std::wstring text;
  };
  const Case cases[] = {
      {"", L""},
      {"Fehler bei Daten\xC3\xBC"
       "bertragung",
       L"Fehler bei Daten\u00FCbertragung"},
      {"\xE2\x82\xAC 12,50", L"\u20AC 12,50"},
      {"\xF0\x9F\x8E\xAB", L"\xD83C\xDFAB"},
      {std::string("x\0y", 3), std::wstring(L"x\0y", 3)},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(platform::utf8ToWide(c.utf8), c.text) << c.utf8;
    EXPECT_EQ(platform::wideToUtf8(c.text), c.utf8) << c.utf8;
    EXPECT_TRUE(platform::isValidUtf8(c.utf8)) << c.utf8;
  }
}

TEST(Win32Text, BrokenTextBecomesReplacementCharacters) {
  EXPECT_EQ(platform::utf8ToWide("a\xFF"
                                 "b"),
            L"a\uFFFDb");
  EXPECT_EQ(platform::utf8ToWide("\xC3"), L"\uFFFD");
  EXPECT_EQ(platform::wideToUtf8(std::wstring(L"a\xD800"
                                              L"b")),
            "a\xEF\xBF\xBD"
            "b");
  EXPECT_EQ(platform::wideToUtf8(std::wstring(L"\xDC00")), "\xEF\xBF\xBD");
}

TEST(Win32Text, InvalidUtf8IsRecognised) {
  for (const char* bytes :
       {"\xFF", "\xC3", "abc\x80", "\xC0\xAF", "\xE0\x80\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80"}) {
    EXPECT_FALSE(platform::isValidUtf8(bytes)) << bytes;
  }
}

class Win32Files : public ::testing::Test {
 protected:
  qel::test::ScratchDir scratch;
};

// A log viewer or an editor may hold the files open, for reading and for
// writing, while a sale reads and writes them.
TEST_F(Win32Files, ReadAppendAndTruncateWhileAnotherHandleHoldsTheFile) {
  std::ofstream("QelConnect.log", std::ios::binary) << "old entry";
  HANDLE other = CreateFileW(L"QelConnect.log", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                             nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  std::string content;
  EXPECT_EQ(platform::readFile("QelConnect.log", content, 1024).status, platform::FileRead::Ok);
  EXPECT_EQ(content, "old entry");
  EXPECT_TRUE(platform::appendToFile("QelConnect.log", "\r\nnew"));
  EXPECT_EQ(platform::readFile("QelConnect.log", content, 1024).status, platform::FileRead::Ok);
  EXPECT_EQ(content, "old entry\r\nnew");
  EXPECT_TRUE(platform::truncateFile("QelConnect.log"));
  CloseHandle(other);
  EXPECT_EQ(std::filesystem::file_size("QelConnect.log"), 0u);
}

TEST(Win32MessageBox, ShowsTheButtonsAskedForWithoutIcon) {
  struct Case {
    platform::Buttons buttons;
    int answer;
    std::vector<int> shown;
  };
  const Case cases[] = {{platform::Buttons::Ok, kIdOk, {kIdOk}},
                        {platform::Buttons::OkCancel, kIdOk, {kIdOk, kIdCancel}},
                        {platform::Buttons::OkCancel, kIdCancel, {kIdOk, kIdCancel}}};
  for (const Case& c : cases) {
    BoxHook answerer({c.answer});
    EXPECT_EQ(platform::messageBox(nullptr, L"Tickets drucken?", L"Transaktionsfenster", c.buttons), c.answer);
    ASSERT_EQ(answerer.dialogs().size(), 1u);
    EXPECT_EQ(answerer.dialogs()[0].buttons, c.shown);
    EXPECT_FALSE(answerer.dialogs()[0].hasIcon);
    EXPECT_EQ(answerer.dialogs()[0].text, L"Tickets drucken?");
    EXPECT_EQ(answerer.dialogs()[0].caption, L"Transaktionsfenster");
  }
}

TEST(Win32MessageBox, TextArrivesUnchanged) {
  const std::wstring text = L"Missing field. Response:\r\n<a>\u00E4\u20AC</a>";
  BoxHook answerer({kIdOk});
  platform::messageBox(nullptr, text.c_str(), L"Fehler bei Daten\u00FCbertragung", platform::Buttons::Ok);
  ASSERT_EQ(answerer.dialogs().size(), 1u);
  EXPECT_EQ(answerer.dialogs()[0].text, text);
  EXPECT_EQ(answerer.dialogs()[0].caption, L"Fehler bei Daten\u00FCbertragung");
}

}  // namespace
