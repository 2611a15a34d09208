// Tests of reading QelConnect.xml: values, defaults and the operator's
// messages for missing and broken files.
#include "config/connector_config.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "base/vub_exception.h"
#include "tests/support/scratch_dir.h"

namespace qel {
namespace {

// Runs each test in a fresh working folder of its own, as the host runs the
// connector in its installation folder, and writes QelConnect.xml there.
class ConnectorConfigTest : public ::testing::Test {
 protected:
  // Names are UTF-8, as the reader takes them.
  static void writeFile(const std::string& name, const std::string& bytes) {
    std::ofstream out(std::filesystem::u8path(name), std::ios::binary);
    out << bytes;
  }

  static ConnectorConfig load(const std::string& bytes) {
    writeFile("QelConnect.xml", bytes);
    ConnectorConfig config;
    config.loadFromFile("QelConnect.xml");
    return config;
  }

  static VubException loadFailure(const std::string& bytes, const std::string& name = "QelConnect.xml") {
    writeFile(name, bytes);
    try {
      ConnectorConfig config;
      config.loadFromFile(name);
    } catch (const VubException& e) {
      return e;
    }
    ADD_FAILURE() << "no exception for: " << bytes;
    return VubException(L"");
  }

  // A file with all elements; `endpointExtra` is added inside `endpoint`,
  // `compatibility` replaces the whole compatibility block.
  static std::string file(
      const std::string& endpointExtra = "",
      const std::string& compatibility =
          "<compatibility><oldkasse>1</oldkasse><oldkasseprefix>7</oldkasseprefix></compatibility>") {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<endpoint>\n <username>kasse</username>\n <password>geheim</password>\n"
           " <url>https://kasse.example:8443/sap/bc/srt/x</url>\n" +
           endpointExtra + "</endpoint>\n" + compatibility + "\n";
  }

 private:
  test::ScratchDir folder_;
};

TEST_F(ConnectorConfigTest, ReadsEveryField) {
  const ConnectorConfig config = load(file("<certSubject>CN=Kasse</certSubject><caFile>certs/firma.pem</caFile>"));
  EXPECT_EQ(config.username, L"kasse");
  EXPECT_EQ(config.password, L"geheim");
  EXPECT_EQ(config.url, L"https://kasse.example:8443/sap/bc/srt/x");
  EXPECT_TRUE(config.hasCertSubject);
  EXPECT_EQ(config.certSubject, L"CN=Kasse");
  EXPECT_TRUE(config.oldkasse);
  EXPECT_EQ(config.oldkasseprefix, 7);
  EXPECT_EQ(config.caFile, L"certs/firma.pem");
}

TEST_F(ConnectorConfigTest, TextIsUtf8WithEntitiesAndCdataAndKeepsBlanks) {
  const ConnectorConfig config = load(
      "<endpoint><username>  J\xC3\xBCrgen  </username><password>a&amp;b&#x263A;</password>"
      "<url><![CDATA[http://h/?a=1&b=2]]></url></endpoint>");
  EXPECT_EQ(config.username, L"  J\u00FCrgen  ");
  EXPECT_EQ(config.password, L"a&b\u263A");
  EXPECT_EQ(config.url, L"http://h/?a=1&b=2");
}

TEST_F(ConnectorConfigTest, MissingOptionalElementsKeepTheirDefaults) {
  const ConnectorConfig config = load("<endpoint><url>http://h/</url></endpoint>");
  EXPECT_EQ(config.url, L"http://h/");
  EXPECT_EQ(config.username, L"");
  EXPECT_EQ(config.password, L"");
  EXPECT_FALSE(config.hasCertSubject);
  EXPECT_EQ(config.certSubject, L"");
  EXPECT_EQ(config.caFile, L"");
  EXPECT_FALSE(config.oldkasse);
  EXPECT_EQ(config.oldkasseprefix, 0);
}

TEST_F(ConnectorConfigTest, EmptyCertSubjectIsStillPresent) {
  const ConnectorConfig config = load(file("<certSubject/>"));
  EXPECT_TRUE(config.hasCertSubject);
  EXPECT_EQ(config.certSubject, L"");
}

TEST_F(ConnectorConfigTest, FirstOccurrenceCountsAndOrderDoesNotMatter) {
  const ConnectorConfig config = load(
      "<compatibility><oldkasseprefix>3</oldkasseprefix><oldkasseprefix>4</oldkasseprefix></compatibility>"
      "<endpoint><url>http://first/</url><url>http://second/</url></endpoint>"
      "<endpoint><url>http://third/</url></endpoint>");
  EXPECT_EQ(config.url, L"http://first/");
  EXPECT_EQ(config.oldkasseprefix, 3);
}

TEST_F(ConnectorConfigTest, MalformedUrlIsLoadedAsWritten) {
  EXPECT_EQ(load("<endpoint><url> not a url </url></endpoint>").url, L" not a url ");
}

struct CompatibilityCase {
  std::string oldkasse;
  bool expectedFlag;
  std::string prefix;
  std::int32_t expectedPrefix;
  friend void PrintTo(const CompatibilityCase& c, std::ostream* os) {
    *os << '"' << c.oldkasse << "\" \"" << c.prefix << '"';
  }
};

class CompatibilityTest : public ConnectorConfigTest, public ::testing::WithParamInterface<CompatibilityCase> {};

TEST_P(CompatibilityTest, OldkasseIsExactlyOneAndPrefixFollowsAtoi) {
  const CompatibilityCase& c = GetParam();
  const ConnectorConfig config =
      load(file("", "<compatibility><oldkasse>" + c.oldkasse + "</oldkasse><oldkasseprefix>" + c.prefix +
                        "</oldkasseprefix></compatibility>"));
  EXPECT_EQ(config.oldkasse, c.expectedFlag) << c.oldkasse;
  EXPECT_EQ(config.oldkasseprefix, c.expectedPrefix) << c.prefix;
}

// UTF-16 with a byte-order mark as Notepad's "Unicode" saves it; otherwise
// each value that is valid UTF-8 is UTF-8 and every other one is read in the
// ANSI code page, whatever the rest of the file holds.
std::string utf16(std::u16string_view text, bool bigEndian) {
  std::string out = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8);
    const char low = static_cast<char>(unit & 0xFF);
    out += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return out;
}

TEST_F(ConnectorConfigTest, EncodingsAreReadValueByValue) {
  const std::u16string ascii =
      u"<endpoint><username>kasse</username><password>geheim</password><url>u</url></endpoint>";
  const struct {
    const char* name;
    std::string bytes;
    std::wstring username;
    std::wstring password;
    bool readAsAnsi;
  } cases[] = {
      {"UTF-16 LE", utf16(ascii, false), L"kasse", L"geheim", false},
      {"UTF-16 BE", utf16(ascii, true), L"kasse", L"geheim", false},
      {"UTF-16 LE, odd last byte", utf16(ascii, false) + "x", L"kasse", L"geheim", false},
      {"UTF-16 LE, a euro sign", utf16(u"<endpoint><password>\u20AC</password><url>u</url></endpoint>", false), L"",
       L"\u20AC", false},
      {"UTF-8 with a mark",
       "\xEF\xBB\xBF<endpoint><username>kasse</username><password>geheim</password><url>u</url></endpoint>", L"kasse",
       L"geheim", false},
      {"ANSI value",
       "<endpoint><username>J\xFCrgen</username><password>K\xE4sse\x80"
       "1</password><url>u</url></endpoint>",
       L"J\u00FCrgen", L"K\u00E4sse\u20AC1", true},
      {"UTF-8 value, ANSI comment",
       "<!-- ge\xE4ndert --><endpoint><username>J\xC3\xBCrgen</username><password>K\xC3\xA4sse\xE2\x82\xAC"
       "1</password><url>u</url></endpoint>",
       L"J\u00FCrgen", L"K\u00E4sse\u20AC1", true},
      {"one value each",
       "<endpoint><username>J\xFCrgen</username><password>\xE2\x82\xAC</password><url>u</url></endpoint>",
       L"J\u00FCrgen", L"\u20AC", true},
      {"entity beside ANSI", "<endpoint><password>&#x20AC;\xE4</password><url>u</url></endpoint>", L"", L"\u20AC\u00E4",
       true},
      {"UTF-8",
       "<endpoint><password>K\xC3\xA4sse\xE2\x82\xAC"
       "1</password><url>u</url></endpoint>",
       L"", L"K\u00E4sse\u20AC1", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const ConnectorConfig config = load(c.bytes);
    EXPECT_EQ(config.username, c.username);
    EXPECT_EQ(config.password, c.password);
    EXPECT_EQ(config.readAsAnsi, c.readAsAnsi);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, CompatibilityTest,
    ::testing::Values(CompatibilityCase{"1", true, "12abc", 12}, CompatibilityCase{"true", false, "-3", -3},
                      CompatibilityCase{"yes", false, "abc", 0}, CompatibilityCase{"01", false, "", 0},
                      CompatibilityCase{" 1", false, " +5 ", 5}, CompatibilityCase{"", false, "0x10", 0},
                      CompatibilityCase{"1x", false, "1x", 1}, CompatibilityCase{"10", false, "10", 10}));

TEST_F(ConnectorConfigTest, MissingFileNamesTheFileAndTheInstallFolder) {
  ConnectorConfig config;
  try {
    config.loadFromFile("QelConnect.xml");
    FAIL() << "no exception";
  } catch (const VubException& e) {
    EXPECT_EQ(e.message(),
              L"Could not load configuration file 'QelConnect.xml'. It must be installed in the folder "
              L"[pathto]/Quendal/Sales/");
    EXPECT_EQ(e.code(), 0);
  }
}

// A folder in the file's place is no configuration file, on every target.
TEST_F(ConnectorConfigTest, FolderInPlaceOfTheFile) {
  std::filesystem::create_directory("QelConnect.xml");
  ConnectorConfig config;
  try {
    config.loadFromFile("QelConnect.xml");
    FAIL() << "no exception";
  } catch (const VubException& e) {
    EXPECT_EQ(e.message(),
              L"Could not load configuration file 'QelConnect.xml'. It must be installed in the folder "
              L"[pathto]/Quendal/Sales/");
  }
}

// The document ends at a NUL byte, as C text does.
TEST_F(ConnectorConfigTest, NulByteEndsTheDocument) {
  EXPECT_EQ(load(std::string("<endpoint><url>http://h/</url></endpoint>\0<broken", 49)).url, L"http://h/");
}

TEST_F(ConnectorConfigTest, MismatchedElementIsAParsingError) {
  const VubException e = loadFailure("<endpoint><url>http://h/</uri></endpoint>");
  EXPECT_EQ(e.message(), L"Parsing error in configuration file 'QelConnect.xml'.");
  EXPECT_EQ(e.code(), 0);
}

TEST_F(ConnectorConfigTest, FileNameIsShownAsPassed) {
  const VubException e = loadFailure("<a></b>", "Qel\xC3\xA4.xml");
  EXPECT_EQ(e.message(), L"Parsing error in configuration file 'Qel\u00E4.xml'.");
}

struct BrokenFileCase {
  std::string bytes;
  int number;
  friend void PrintTo(const BrokenFileCase& c, std::ostream* os) { *os << c.number << " \"" << c.bytes << '"'; }
};

class BrokenFileTest : public ConnectorConfigTest, public ::testing::WithParamInterface<BrokenFileCase> {};

// The number is that of the parser's original numbering, whatever the
// release in use calls it internally.
TEST_P(BrokenFileTest, OtherParseFailuresShowTheOriginalErrorNumber) {
  const VubException e = loadFailure(GetParam().bytes);
  EXPECT_EQ(e.message(), L"Unknown error in configuration file 'QelConnect.xml'. tinyxml2::XML_ERROR-Code: " +
                             std::to_wstring(GetParam().number));
  EXPECT_EQ(e.code(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BrokenFileTest,
    ::testing::Values(BrokenFileCase{"", 15}, BrokenFileCase{" \r\n\t", 15}, BrokenFileCase{"<endpoint/ >", 7},
                      BrokenFileCase{"<endpoint><url>x</url>", 17}, BrokenFileCase{"<endpoint a=1></endpoint>", 8},
                      BrokenFileCase{"<endpoint>abc", 10}, BrokenFileCase{"<endpoint><![CDATA[x</endpoint>", 11},
                      BrokenFileCase{"<!-- never closed", 12}, BrokenFileCase{"<?xml version=\"1.0\"", 13},
                      BrokenFileCase{"<!DOCTYPE never closed", 14}));

TEST_F(ConnectorConfigTest, MissingEndpointOrUrlIsReported) {
  struct Case {
    std::string bytes;
    const wchar_t* element;
  };
  const Case cases[] = {
      // The two blocks must be top-level elements; a common root hides them.
      {"<config><endpoint><url>http://h/</url></endpoint></config>", L"endpoint"},
      {"<compatibility><oldkasse>1</oldkasse></compatibility>", L"endpoint"},
      {"<endpoint><username>u</username><password>p</password></endpoint>", L"endpoint/url"},
      {"<endpoint><URL>http://h/</URL></endpoint>", L"endpoint/url"},
  };
  for (const Case& c : cases) {
    const VubException e = loadFailure(c.bytes);
    EXPECT_EQ(e.message(),
              L"Missing element '" + std::wstring(c.element) + L"' in configuration file 'QelConnect.xml'.")
        << c.bytes;
    EXPECT_EQ(e.code(), 0);
  }
}

// Each mistake that a sale forgives gives one warning on its line, and a file
// without mistakes gives none.
TEST_F(ConnectorConfigTest, WarnsOfForgivenMistakesWithTheirLines) {
  const std::string endpoint = "<endpoint><url>http://h/</url></endpoint>\n";
  const struct {
    std::string rest;
    std::vector<std::pair<int, std::string>> warnings;
  } cases[] = {
      {"<compatibility><oldkasse>0</oldkasse><oldkasseprefix>-12</oldkasseprefix></compatibility>\n"
       "<diagnostics><trace>1</trace><traceBodies>0</traceBodies></diagnostics>",
       {}},
      {"<compatibility>\n<oldkasseprefix>12abc</oldkasseprefix></compatibility>",
       {{3, "<oldkasseprefix> '12abc' is read only up to its first non-digit, as 12"}}},
      {"<compatibility><oldkasseprefix>abc</oldkasseprefix><oldkasse>+1</oldkasse></compatibility>",
       {{2, "<oldkasse> '+1' is neither 0 nor 1: read as 0"},
        {2, "<oldkasseprefix> 'abc' is not a number: read as 0"}}},
      {"<compatibility><oldkasseprefix> 5</oldkasseprefix></compatibility>",
       {{2, "<oldkasseprefix> ' 5' is read only up to its first non-digit, as 5"}}},
      {"<compatibility><oldkasseprefix>+</oldkasseprefix></compatibility>",
       {{2, "<oldkasseprefix> '+' is not a number: read as 0"}}},
      {"<diagnostics>\n<trace>yes</trace>\n<traceBodies/></diagnostics>",
       {{3, "<trace> 'yes' is neither 0 nor 1: read as 0"}, {4, "<traceBodies> '' is neither 0 nor 1: read as 0"}}},
      {"<diagnostics><trace>0</trace></diagnostics>\n<diagnostics><trace>1</trace></diagnostics>",
       {{3, "<diagnostics> is given again and ignored; the one on line 2 counts"}}},
      {"<endpoint>\n<protectedpassword>AAAA</protectedpassword></endpoint>",
       {{2, "<endpoint> is given again and ignored; the one on line 1 counts"},
        {3, "unknown element <protectedpassword> in <endpoint> is ignored; did you mean <protectedPassword>?"}}},
      // The nearest name: letters that differ cost more than letters missing.
      {"<endpoint><file/><pw/></endpoint>",
       {{2, "<endpoint> is given again and ignored; the one on line 1 counts"},
        {2, "unknown element <file> in <endpoint> is ignored; did you mean <caFile>?"},
        {2, "unknown element <pw> in <endpoint> is ignored; did you mean <url>?"}}},
      // Only the first 64 letters of a name are compared: the 65th, a "y", does
      // not make it nearer to <compatibility> than to <endpoint>.
      {"<" + std::string(64, 'z') + "y/>",
       {{2, "unknown element <" + std::string(64, 'z') + "y> is ignored; did you mean <endpoint>?"}}},
      // A signed number with a letter after its digits is still read.
      {"<compatibility><oldkasseprefix>-12abc</oldkasseprefix></compatibility>",
       {{2, "<oldkasseprefix> '-12abc' is read only up to its first non-digit, as -12"}}},
      {"<compatibility><oldkasseprefix>+-5</oldkasseprefix></compatibility>",
       {{2, "<oldkasseprefix> '+-5' is not a number: read as 0"}}},
      // An element in another section than its own names the right one.
      {"<compatibility>\n<caFile>ca.pem</caFile><trace>1</trace><endpoint/></compatibility>\n<url>x</url>",
       {{3, "element <caFile> in <compatibility> is ignored: it belongs in <endpoint>"},
        {3, "element <trace> in <compatibility> is ignored: it belongs in <diagnostics>"},
        {3, "element <endpoint> in <compatibility> is ignored: it belongs at the top level"},
        {4, "element <url> is ignored: it belongs in <endpoint>"}}},
      {"<diagnostic/><compatibility><oldkase>1</oldkase></compatibility>",
       {{2, "unknown element <diagnostic> is ignored; did you mean <diagnostics>?"},
        {2, "unknown element <oldkase> in <compatibility> is ignored; did you mean <oldkasse>?"}}},
  };
  for (const auto& c : cases) {
    const ConnectorConfig config = load(endpoint + c.rest);
    std::vector<std::pair<int, std::string>> warnings;
    for (const ConfigWarning& w : config.warnings) warnings.emplace_back(w.line, w.text);
    EXPECT_EQ(warnings, c.warnings) << c.rest;
  }
}

// The url: user information in it is never sent, and credentials over
// http:// go in clear. Either is told on the url's line.
TEST_F(ConnectorConfigTest, WarnsOfCredentialsTheUrlWouldLoseOrExpose) {
  const char kUserInfo[] =
      "<url> holds a user name or password before an '@', which is never sent: the cash register gets <username> and "
      "<password>";
  const char kClear[] =
      "<url> starts with http://: the user name and password go over the network unencrypted; use "
      "https://";
  const struct {
    std::string endpoint;
    std::vector<std::pair<int, std::string>> warnings;
  } cases[] = {
      {"<url>https://kasse:geheim@h/sap</url><username>k</username>", {{2, kUserInfo}}},
      {"<url>kasse@h:8443</url>", {{2, kUserInfo}}},
      // A "://" further on is no scheme.
      {"<url>k:p@h/sap?back=http://x</url>", {{2, kUserInfo}}},
      {"<url>h/sap?back=http://k:p@x</url>", {}},
      {"<url>https://h/sap?mail=a@b</url><password>p</password>", {}},
      {"<url>https://h/a@b</url>", {}},
      {"<url>https://h#a@b</url>", {}},
      {"<url>http://h/</url>", {}},
      {"<url>http://h/</url><username>k</username>", {{2, kClear}}},
      {"<url>HTTP://h/</url><password>p</password>", {{2, kClear}}},
      {"\n<url>http://k:p@h/</url><password>p</password>", {{3, kUserInfo}, {3, kClear}}},
      {"<url>https://h/</url><username>k</username>", {}},
      // Loopback: a relay or simulator on this computer.
      {"<url>http://127.0.0.1:8099/</url><username>k</username>", {}},
      {"<url>http://localhost/</url><username>k</username>", {}},
      {"<url>http://[::1]:80/</url><username>k</username>", {}},
      {"<url>http://k:p@127.0.0.1/</url><username>k</username>", {{2, kUserInfo}}},
      {"<url>http://128.0.0.1/</url><username>k</username>", {{2, kClear}}},
      {"<url>httpx://h/</url><username>k</username>", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.endpoint);
    const ConnectorConfig config = load("\n<endpoint>" + c.endpoint + "</endpoint>");
    std::vector<std::pair<int, std::string>> warnings;
    for (const ConfigWarning& w : config.warnings) warnings.emplace_back(w.line, w.text);
    EXPECT_EQ(warnings, c.warnings);
  }
}

// A hostile file with a warning on every element gives the first hundred and
// counts the rest.
TEST_F(ConnectorConfigTest, WarningsStopAtTheirLimit) {
  for (const int unknown : {100, 101}) {
    std::string bytes = "<endpoint><url>http://h/</url></endpoint>";
    for (int i = 0; i < unknown; ++i) bytes += "<x/>";
    const ConnectorConfig config = load(bytes);
    ASSERT_EQ(config.warnings.size(), unknown == 100 ? 100u : 101u);
    EXPECT_EQ(config.warnings.back().text, unknown == 100 ? "unknown element <x> is ignored; did you mean <endpoint>?"
                                                          : "1 more warnings not shown");
  }
}

// The texts of numbers and switches are kept as written for qelhost check.
TEST_F(ConnectorConfigTest, KeepsNumbersAndSwitchesAsWritten) {
  const ConnectorConfig config = load(
      "<endpoint><url>u</url></endpoint><compatibility><oldkasseprefix>07x</oldkasseprefix></compatibility>"
      "<diagnostics><trace>yes</trace><traceBodies/></diagnostics>");
  const std::map<std::string, std::string> expected{{"oldkasseprefix", "07x"}, {"trace", "yes"}, {"traceBodies", ""}};
  EXPECT_EQ(config.written, expected);
}

}  // namespace
}  // namespace qel
