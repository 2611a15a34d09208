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
#include <unistd.h>

#include <thread>
#endif

namespace qel {
namespace {

using platform::FileRead;

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
    ASSERT_EQ(platform::readFile("Sales.ini", content), FileRead::Ok) << size;
    EXPECT_EQ(content, bytes) << size;
  }
}

TEST_F(FilesTest, MissingFileIsNotOpenedAndLeavesNothing) {
  std::string content = "left over";
  EXPECT_EQ(platform::readFile("QelConnect.xml", content), FileRead::NotOpened);
  EXPECT_EQ(content, "");
}

TEST_F(FilesTest, FolderCannotBeRead) {
  std::filesystem::create_directory("QelConnect.xml");
  std::string content;
#if defined(_WIN32)
  // Windows opens folders only when asked to with backup semantics.
  EXPECT_EQ(platform::readFile("QelConnect.xml", content), FileRead::NotOpened);
#else
  EXPECT_EQ(platform::readFile("QelConnect.xml", content), FileRead::Failed);
#endif
  EXPECT_EQ(content, "");
}

TEST_F(FilesTest, NamesAreUtf8) {
  ASSERT_TRUE(platform::appendToFile("Pr\xC3\xBC" "fung.log", "x"));
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path("Pr\xC3\xBC" "fung.log")));
  std::string content;
  EXPECT_EQ(platform::readFile("Pr\xC3\xBC" "fung.log", content), FileRead::Ok);
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
// A pipe gives its bytes in pieces and has no size: it is read to its end.
TEST_F(FilesTest, PipeIsReadToItsEnd) {
  ASSERT_EQ(mkfifo("Sales.ini", 0600), 0);
  const std::string piece(3000, 'p');
  std::thread writer([&] {
    std::ofstream out("Sales.ini", std::ios::binary);
    for (int i = 0; i < 5; ++i) {
      out << piece << std::flush;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  std::string content;
  const FileRead result = platform::readFile("Sales.ini", content);
  writer.join();
  EXPECT_EQ(result, FileRead::Ok);
  EXPECT_EQ(content.size(), 5 * piece.size());
}
#endif

}  // namespace
}  // namespace qel
