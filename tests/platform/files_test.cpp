// The working-folder files: whole reads however the file's size and kind
// come, appends that keep what is there, and emptying.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/platform.h"
#include "tests/support/scratch_dir.h"

#if !defined(_WIN32)
#include <sys/stat.h>
#endif

namespace qel {
namespace {

using platform::FileRead;

// Far beyond every file these tests read, unless a test sets its own limit.
constexpr std::size_t kLimit = std::size_t{1} << 20;

FileRead read(const char* name, std::string& content, std::size_t maxBytes = kLimit) {
  return platform::readFile(name, content, maxBytes).status;
}

std::string contentOf(const char* name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write(const char* name, const std::string& bytes) { std::ofstream(name, std::ios::binary) << bytes; }

class FilesTest : public ::testing::Test {
 protected:
  test::ScratchDir scratch;
};

TEST_F(FilesTest, ReadsWholeFilesOfEverySize) {
  // Around the first read's room and the size that is read in one go.
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{211}, std::size_t{4095}, std::size_t{4096},
                           std::size_t{4097}, std::size_t{100000}}) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + i / 251);
    write("Sales.ini", bytes);
    std::string content = "left over";
    ASSERT_EQ(read("Sales.ini", content), FileRead::Ok) << size;
    EXPECT_EQ(content, bytes) << size;
  }
}

TEST_F(FilesTest, MissingFileAndFolderAreOutcomesOfTheirOwn) {
  std::string content = "left over";
  EXPECT_EQ(read("QelConnect.xml", content), FileRead::Missing);
  EXPECT_EQ(content, "");
  std::filesystem::create_directory("QelConnect.xml");
  EXPECT_EQ(read("QelConnect.xml", content), FileRead::Folder);
  EXPECT_EQ(platform::fileKind("QelConnect.xml"), platform::FileKind::Folder);
  EXPECT_EQ(platform::fileKind("Sales.ini"), platform::FileKind::Missing);
}

// The limit holds against the size the file reports; one byte beyond it is
// refused and leaves nothing behind.
TEST_F(FilesTest, LimitRefusesTheFirstByteBeyondIt) {
  for (std::size_t size : {std::size_t{0}, std::size_t{9}, std::size_t{10}, std::size_t{11}, std::size_t{5000}}) {
    write("Sales.ini", std::string(size, 'x'));
    std::string content = "left over";
    EXPECT_EQ(read("Sales.ini", content, 10), size > 10 ? FileRead::TooLarge : FileRead::Ok) << size;
    EXPECT_EQ(content, std::string(size > 10 ? 0 : size, 'x')) << size;
  }
}

TEST_F(FilesTest, NamesAreUtf8) {
  ASSERT_TRUE(
      platform::appendToFile("Pr\xC3\xBC"
                             "fung.log",
                             "x"));
  EXPECT_TRUE(
      std::filesystem::exists(std::filesystem::u8path("Pr\xC3\xBC"
                                                      "fung.log")));
  std::string content;
  EXPECT_EQ(read("Pr\xC3\xBC"
                 "fung.log",
                 content),
            FileRead::Ok);
  EXPECT_EQ(content, "x");
}

TEST_F(FilesTest, AppendCreatesThenKeepsWhatIsThere) {
  ASSERT_TRUE(platform::appendToFile("QelConnect.log", "first\r\n"));
  ASSERT_TRUE(platform::appendToFile("QelConnect.log", std::string("sec\0nd\r\n", 8)));
  ASSERT_TRUE(platform::appendToFile("QelConnect.log", ""));
  EXPECT_EQ(contentOf("QelConnect.log"), std::string("first\r\nsec\0nd\r\n", 15));
}

TEST_F(FilesTest, AppendGoesToTheEndWhereverAnotherWriterLeftIt) {
  write("QelConnect.log", "0123456789");
  std::fstream other("QelConnect.log", std::ios::in | std::ios::out | std::ios::binary);
  ASSERT_TRUE(other);
  other.seekp(2);
  ASSERT_TRUE(platform::appendToFile("QelConnect.log", "entry"));
  other << "ab" << std::flush;
  other.close();
  EXPECT_EQ(contentOf("QelConnect.log"), "01ab456789entry");
}

TEST_F(FilesTest, AppendToAFolderFails) {
  std::filesystem::create_directory("QelConnect.log");
  EXPECT_FALSE(platform::appendToFile("QelConnect.log", "entry"));
}

TEST_F(FilesTest, TruncateEmptiesOrCreates) {
  write("QelConnect.log", "old entry");
  EXPECT_TRUE(platform::truncateFile("QelConnect.log"));
  EXPECT_EQ(std::filesystem::file_size("QelConnect.log"), 0u);
  EXPECT_TRUE(platform::truncateFile("Neu.log"));
  EXPECT_TRUE(std::filesystem::exists("Neu.log"));
  std::filesystem::create_directory("Ordner");
  EXPECT_FALSE(platform::truncateFile("Ordner"));
}

#if !defined(_WIN32)
// Only regular files are read: a pipe without a writer is refused at once
// instead of waiting for one, and a device is never read from.
TEST_F(FilesTest, PipesAndDevicesAreRefusedWithoutWaiting) {
  ASSERT_EQ(mkfifo("Sales.ini", 0600), 0);
  std::filesystem::create_symlink("/dev/zero", "QelConnect.xml");
  for (const char* name : {"Sales.ini", "QelConnect.xml"}) {
    std::string content;
    EXPECT_EQ(read(name, content), FileRead::NotRegular) << name;
    EXPECT_EQ(platform::fileKind(name), platform::FileKind::Other) << name;
  }
}

// A file under /proc reports no size and gives its bytes all the same: the
// limit holds against the bytes read as well.
TEST_F(FilesTest, LimitHoldsAgainstTheBytesRead) {
  std::string content;
  ASSERT_EQ(read("/proc/self/status", content), FileRead::Ok);
  ASSERT_GT(content.size(), 16u);
  EXPECT_EQ(read("/proc/self/status", content, 16), FileRead::TooLarge);
  EXPECT_EQ(content, "");
}
#endif

}  // namespace
}  // namespace qel
