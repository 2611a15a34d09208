// A sale whose files in the working folder are damaged or in the way: the
// outcome is the one the library promises for each, and nothing crashes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "tests/faults/fault_fixture.h"
#include "tests/faults/fault_server.h"
#include "tests/transport/kasse_answers.h"

namespace qel::test {
namespace {

// The configuration's limit is 8 MiB; libcurl takes no address longer than
// 8,000,000 bytes.
constexpr std::size_t kSevenMegabytes = 7u << 20;
constexpr std::size_t kUrlBeyondLibcurl = 8000001;

const std::wstring kConfigNotFound =
    L"Could not load configuration file 'QelConnect.xml'. It must be installed in the folder [pathto]/Quendal/Sales/";

class FileFaultTest : public FaultTest {
 protected:
  // A completed sale: the code of a printed sale and the filled record.
  void expectCompletedSale(const CallOutcome& outcome) {
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.boxes.size(), 2u) << "the transfer and the printing question, no error box";
    EXPECT_FALSE(resultUntouched());
  }
};

// A folder where the file should be is no configuration file, on every
// target; the operator learns which file.
TEST_F(FileFaultTest, ConfigurationThatIsAFolderFailsTheSale) {
  std::filesystem::create_directory("QelConnect.xml");
  const CallOutcome outcome = sell();
  EXPECT_EQ(expectFailedSale(outcome), kConfigNotFound);
}

// A file beyond the limit is refused by its size, before a byte of it is held
// in memory (the files are sparse), and the sale stops before anything is
// sent.
TEST_F(FileFaultTest, FilesBeyondTheLimitStopTheSaleBeforeSending) {
  struct Case {
    const char* file;
    std::uintmax_t size;
    std::wstring message;
  };
  const Case cases[] = {
      {"Sales.ini", std::uintmax_t{1} << 30, L"File 'Sales.ini' exceeds 64 MiB"},
      {"QelConnect.xml", (std::uintmax_t{8} << 20) + 1, L"Configuration file 'QelConnect.xml' exceeds 8 MiB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " of " + std::to_string(c.size) + " bytes");
    ScratchDir dir;
    startKasse();
    writeFile(c.file, "TerminalID=4711\r\n");
    std::filesystem::resize_file(c.file, c.size);
    EXPECT_EQ(expectSaleStoppedBeforeSending(sell()), c.message);
  }
}

// Seven megabytes of comment after the settings, within the limit, are read
// through and the sale goes ahead.
TEST_F(FileFaultTest, SevenMegabyteConfigurationIsReadThrough) {
  startKasse();
  std::string config = readFile("QelConnect.xml") + "<!--";
  config.append(kSevenMegabytes, 'x');
  writeFile("QelConnect.xml", config + "-->");
  const CallOutcome outcome = sell();
  expectCompletedSale(outcome);
}

// An address of eight megabytes is more than libcurl takes: the sale fails
// with the message of the step that refused it, and nothing is sent.
TEST_F(FileFaultTest, EightMegabyteUrlFailsTheSale) {
  std::string url = "http://127.0.0.1/";
  url.append(kUrlBeyondLibcurl - url.size(), 'a');
  writeFile("QelConnect.xml", configFor(url));
  const CallOutcome outcome = sell();
  EXPECT_EQ(expectFailedSale(outcome), L"Could not set url");
}

// A terminal number of 10,000 bytes is cut to the 99 bytes of its buffer.
TEST_F(FileFaultTest, SalesIniWithA10000ByteLineSendsTheFirst99Bytes) {
  startKasse();
  std::string value;
  for (int i = 0; value.size() < 10000 - 11; ++i) value += static_cast<char>('0' + i % 10);
  writeFile("Sales.ini", "[Kasse]\r\nTerminalID=" + value + "\r\n");
  const CallOutcome outcome = sell();
  expectCompletedSale(outcome);
  EXPECT_EQ(sentTerminalId(), value.substr(0, 99));
}

// Bytes that are not text reach the request decoded (U+FFFD for what is not
// UTF-8), escaped, and without the characters XML cannot carry.
TEST_F(FileFaultTest, SalesIniWithBinaryBytesSendsAWellFormedValue) {
  startKasse();
  // Every byte value but Ctrl-Z, which ends a text file on Windows, then the
  // key with a value that is not text.
  std::string ini;
  for (int b = 0; b < 256; ++b) {
    if (b != 0x1A) ini += static_cast<char>(b);
  }
  ini +=
      "\r\nTerminalID=\x01"
      "A\xff<&\r\n";
  writeFile("Sales.ini", ini);
  const CallOutcome outcome = sell();
  expectCompletedSale(outcome);
  EXPECT_EQ(sentTerminalId(), "A\xEF\xBF\xBD&lt;&amp;");
}

// A folder named Sales.ini holds no terminal number: the default stands.
TEST_F(FileFaultTest, SalesIniThatIsAFolderGivesTheDefault) {
  startKasse();
  std::filesystem::create_directory("Sales.ini");
  expectCompletedSale(sell());
  EXPECT_EQ(sentTerminalId(), "16213");
}

// A log or trace that is a folder, or a link to another file, is not written
// and not emptied by hrECInit: the sale costs the entry, and the file the
// link leads to keeps every byte.
TEST_F(FileFaultTest, LogOrTraceThatIsNoFileOfItsOwnCostsOnlyTheEntry) {
  struct Case {
    const char* file;
    const char* kind;
    void (*make)(const char* name);
  };
  const Case cases[] = {
      {"QelConnect.log", "folder", [](const char* name) { std::filesystem::create_directory(name); }},
      {"QelConnect.log", "symbolic link", [](const char* name) { std::filesystem::create_symlink("kept.txt", name); }},
      {"QelConnect.log", "hard link", [](const char* name) { std::filesystem::create_hard_link("kept.txt", name); }},
      {"QelConnect.trace", "symbolic link",
       [](const char* name) { std::filesystem::create_symlink("kept.txt", name); }},
      {"QelConnect.trace", "hard link", [](const char* name) { std::filesystem::create_hard_link("kept.txt", name); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " as " + c.kind);
    ScratchDir dir;
    startKasse();
    writeFile("kept.txt", "kept\n");
    try {
      c.make(c.file);
    } catch (const std::filesystem::filesystem_error& e) {
      std::printf("[fault] %s: no %s here (%s)\n", c.file, c.kind, e.what());
      continue;
    }
    expectCompletedSale(sell());
    std::uint32_t handle = 0;
    ASSERT_EQ(faultLibrary().init()(nullptr, &handle), 0);
    EXPECT_EQ(readFile("kept.txt"), "kept\n");
    EXPECT_EQ(std::filesystem::is_directory(c.file), std::string(c.kind) == "folder");
  }
}

}  // namespace
}  // namespace qel::test
