// The working-folder files: whole reads however the file's size and kind
// come, appends that keep what is there, and emptying.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tests/support/scratch_dir.h"

#if defined(_WIN32)
#include <windows.h>
#include <stdlib.h>
#else
#include <sys/stat.h>
#endif

namespace qel {
namespace {

#if defined(_WIN32)
std::string ownProgram() {
  wchar_t path[MAX_PATH];
  return platform::wideToUtf8({path, GetModuleFileNameW(nullptr, path, MAX_PATH)});
}
// cmd.exe takes the outer quotes off.
std::string command(const std::string& program, const std::string& arguments) {
  return "\"\"" + program + "\" " + arguments + "\"";
}
void setEnvironment(const char* assignment) { _putenv(assignment); }
#else
std::string ownProgram() { return std::filesystem::read_symlink("/proc/self/exe").string(); }
std::string command(const std::string& program, const std::string& arguments) {
  return "'" + program + "' " + arguments;
}
void setEnvironment(const char* assignment) { putenv(const_cast<char*>(assignment)); }
#endif

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

// A record is added to a file of `size` bytes whose limit is `limit`; the
// file is renamed first only when the record would take it past the limit.
TEST_F(FilesTest, RecordsRotateOnlyWhenTheyWouldPassTheLimit) {
  struct Case {
    std::size_t size;
    std::size_t limit;
    bool rotated;
  };
  const std::string record = "{\"n\":1}\n";
  const Case cases[] = {
      {10, 10 + record.size(), false},     // lands exactly on the limit
      {10, 10 + record.size() - 1, true},  // one byte past it
      {0, 1, false},                       // an empty file is never renamed
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.size) + " bytes, limit " + std::to_string(c.limit));
    test::ScratchDir dir;
    const std::string old(c.size, 'x');
    write("QelConnect.trace", old.empty() ? old : old.substr(1) + "\n");
    write("QelConnect.trace.1", "older\n");
    // Held open across the rotation: the file is emptied in place, not
    // renamed, so this reader sees what the file holds afterwards.
    std::ifstream held("QelConnect.trace", std::ios::binary);
    ASSERT_TRUE(platform::appendRecord("QelConnect.trace", record, c.limit, "QelConnect.trace.1"));
    const std::string written = contentOf("QelConnect.trace");
    EXPECT_EQ(contentOf("QelConnect.trace.1"), c.rotated ? old.substr(1) + "\n" : "older\n");
    EXPECT_EQ(written, c.rotated || old.empty() ? record : old.substr(1) + "\n" + record);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(held), {}), written);
  }
}

// Both files of a pair are read in one go, whichever of them exists, each up
// to its limit and not one byte past it, and reading creates neither.
TEST_F(FilesTest, RecordPairIsReadWholeWhicheverFilesExist) {
  struct Case {
    const char* previous;  // nullptr: no such file
    const char* current;
    std::size_t maxBytes;
    FileRead previousRead;
    FileRead currentRead;
  };
  const Case cases[] = {
      {"older\n", "newer\n", 6, FileRead::Ok, FileRead::Ok},
      {"older\n", "newest\n", 6, FileRead::Ok, FileRead::TooLarge},
      {"oldest\n", "newer\n", 6, FileRead::TooLarge, FileRead::Ok},
      {nullptr, "newer\n", 6, FileRead::Missing, FileRead::Ok},
      {"older\n", nullptr, 6, FileRead::Ok, FileRead::Missing},
      {nullptr, nullptr, 6, FileRead::Missing, FileRead::Missing},
  };
  for (const Case& c : cases) {
    test::ScratchDir dir;
    if (c.previous != nullptr) write("pair.1", c.previous);
    if (c.current != nullptr) write("pair", c.current);
    const platform::RecordFiles files = platform::readRecordFiles("pair", "pair.1", c.maxBytes);
    SCOPED_TRACE(std::string(c.previous ? c.previous : "-") + " / " + (c.current ? c.current : "-"));
    EXPECT_EQ(files.previousStatus, c.previousRead);
    EXPECT_EQ(files.currentStatus, c.currentRead);
    EXPECT_EQ(files.previous, c.previousRead == FileRead::Ok ? c.previous : "");
    EXPECT_EQ(files.current, c.currentRead == FileRead::Ok ? c.current : "");
    EXPECT_FALSE(files.unlocked);
    EXPECT_EQ(std::filesystem::exists("pair"), c.current != nullptr);
    EXPECT_EQ(std::filesystem::exists("pair.1"), c.previous != nullptr);
  }
}

// A rewrite hands over the whole content and leaves exactly what it was
// given, shorter or longer than before; one that is declined, or a file past
// the limit, stays as it was.
TEST_F(FilesTest, ReplaceWritesTheWholeNewContentInPlace) {
  struct Case {
    const char* before;       // nullptr: no such file
    const char* replacement;  // nullptr: declined
    std::size_t maxBytes;
    platform::FileWrite status;
    const char* after;
  };
  const Case cases[] = {
      {"a 1\nb 2\nc 3\n", "b 2\n", 12, platform::FileWrite::Ok, "b 2\n"},
      {"a 1\n", "a 1\nb 2\nc 3\n", 4, platform::FileWrite::Ok, "a 1\nb 2\nc 3\n"},
      {"a 1\n", "", 4, platform::FileWrite::Ok, ""},
      {"a 1\n", nullptr, 4, platform::FileWrite::Ok, "a 1\n"},
      {"a 1\n", "b 2\n", 3, platform::FileWrite::TooLarge, "a 1\n"},
      {nullptr, "b 2\n", 0, platform::FileWrite::Ok, "b 2\n"},
  };
  for (const Case& c : cases) {
    test::ScratchDir dir;
    if (c.before != nullptr) write("QelConnect.journal", c.before);
    std::ifstream held("QelConnect.journal", std::ios::binary);
    std::string given = "not called";
    const platform::FileWriteResult result =
        platform::replaceRecords("QelConnect.journal", c.maxBytes, [&](std::string_view content, std::string& next) {
          given = content;
          if (c.replacement != nullptr) next = c.replacement;
          return c.replacement != nullptr;
        });
    SCOPED_TRACE(std::string(c.before ? c.before : "-") + " -> " + (c.replacement ? c.replacement : "-"));
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(given, c.status == platform::FileWrite::Ok ? (c.before ? c.before : "") : "not called");
    EXPECT_EQ(contentOf("QelConnect.journal"), c.after);
    if (c.before != nullptr) {
      EXPECT_EQ(std::string(std::istreambuf_iterator<char>(held), {}), c.after);
    }
  }
}

// A record cut off by a crash gets its line break before the next one.
TEST_F(FilesTest, RecordAfterACutOffLineStartsALineOfItsOwn) {
  for (const char* before : {"", "whole\n", "cut o"}) {
    test::ScratchDir dir;
    write("QelConnect.trace", before);
    ASSERT_TRUE(platform::appendRecord("QelConnect.trace", "next\n", 1 << 20, "QelConnect.trace.1"));
    const std::string expected = std::string(before) + (before == std::string("cut o") ? "\n" : "") + "next\n";
    EXPECT_EQ(contentOf("QelConnect.trace"), expected) << before;
  }
}

// Writers in processes of their own (this program, run again) append to the
// same files at once, round after round, each round's pair of files with a
// limit that makes exactly one of them rename the first file: both files of
// every round hold exactly the records written, whole, and the first exactly
// as many as the limit lets it.
TEST(RecordFiles, WritersInSeveralProcessesLoseNoRecord) {
  constexpr int kWriters = 4;
  constexpr int kRounds = 100;
  constexpr int kPerRound = 4;
  constexpr std::size_t kRecordSize = 17;  // "IIIIIIII RRR NNN\n"
  constexpr std::size_t kFirstFile = 8;    // records up to the limit
  const auto name = [](int round) { return "trace" + std::to_string(round); };
  const char* role = std::getenv("QEL_RECORD_WRITER");
  if (role != nullptr && *role != '\0') {
    const unsigned id = std::random_device()() % 100000000u;
    for (int round = 0; round < kRounds; ++round) {
      // Each round starts once every writer is there, so that they meet.
      const std::string gate = "gate" + std::to_string(round);
      std::filesystem::create_directories(gate);
      std::ofstream(gate + "/" + std::to_string(id));
      while (std::distance(std::filesystem::directory_iterator(gate), {}) < kWriters) std::this_thread::yield();
      for (int n = 0; n < kPerRound; ++n) {
        char record[kRecordSize + 1];
        std::snprintf(record, sizeof record, "%08u %03d %03d\n", id, round, n);
        EXPECT_TRUE(platform::appendRecord(name(round), record, kFirstFile * kRecordSize, name(round) + ".1"));
      }
    }
    return;
  }
  test::ScratchDir dir;
  const std::string writer = command(ownProgram(), "--gtest_filter=RecordFiles.WritersInSeveralProcessesLoseNoRecord");
  setEnvironment("QEL_RECORD_WRITER=1");
  std::vector<int> exits(kWriters, -1);
  std::vector<std::thread> writers;
  for (int& exit : exits) writers.emplace_back([&] { exit = std::system(writer.c_str()); });
  for (std::thread& t : writers) t.join();
  setEnvironment("QEL_RECORD_WRITER=");
  for (int exit : exits) ASSERT_EQ(exit, 0);
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const std::string first = contentOf((name(round) + ".1").c_str());
    EXPECT_EQ(first.size(), kFirstFile * kRecordSize);
    std::istringstream lines(first + contentOf(name(round).c_str()));
    char tag[8];
    std::snprintf(tag, sizeof tag, " %03d ", round);
    std::map<std::string, std::set<std::string>> byWriter;
    for (std::string line; std::getline(lines, line);) {
      ASSERT_EQ(line.size(), kRecordSize - 1) << line;
      EXPECT_EQ(line.substr(8, 5), tag);
      byWriter[line.substr(0, 8)].insert(line.substr(13));
    }
    ASSERT_EQ(byWriter.size(), static_cast<std::size_t>(kWriters));
    for (const auto& [id, numbers] : byWriter)
      EXPECT_EQ(numbers, (std::set<std::string>{"000", "001", "002", "003"})) << id;
  }
}

bool exists(const char* name) { return std::filesystem::exists(name); }

// One process (this program, run again) holds the writers' lock of a file
// inside a rewrite; meanwhile another writer of the file gives up after the
// bounded wait without writing, and a reader of the pair reads it all the
// same and says that it read without the lock. Writers that took a lock
// which others share would not be kept out.
TEST(RecordFiles, WritersExcludeEachOtherAcrossProcesses) {
  const char* role = std::getenv("QEL_LOCK_HOLDER");
  if (role != nullptr && *role != '\0') {
    const auto held =
        platform::replaceRecords("QelConnect.trace", 1 << 20, [](std::string_view content, std::string& next) {
          std::ofstream("held");
          while (!exists("release")) std::this_thread::yield();
          next = std::string(content) + "holder\n";
          return true;
        });
    EXPECT_TRUE(held);
    return;
  }
  test::ScratchDir dir;
  write("QelConnect.trace", "first\n");
  write("QelConnect.trace.1", "older\n");
  const std::string holder = command(ownProgram(), "--gtest_filter=RecordFiles.WritersExcludeEachOtherAcrossProcesses");
  setEnvironment("QEL_LOCK_HOLDER=1");
  int exit = -1;
  std::thread holding([&] { exit = std::system(holder.c_str()); });
  while (!exists("held")) std::this_thread::yield();
  setEnvironment("QEL_LOCK_HOLDER=");
  EXPECT_EQ(platform::appendRecord("QelConnect.trace", "second\n", 1 << 20, "QelConnect.trace.1").status,
            platform::FileWrite::Locked);
  EXPECT_EQ(platform::truncateFile("QelConnect.trace").status, platform::FileWrite::Locked);
  const platform::RecordFiles files = platform::readRecordFiles("QelConnect.trace", "QelConnect.trace.1", 1 << 20);
  std::ofstream("release");
  holding.join();
  EXPECT_EQ(exit, 0);
  EXPECT_TRUE(files.unlocked);
  EXPECT_EQ(files.previous + files.current, "older\nfirst\n");
  EXPECT_EQ(contentOf("QelConnect.trace"), "first\nholder\n");
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
