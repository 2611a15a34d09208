// Files that permissions keep from the library, on POSIX: an unreadable
// QelConnect.xml or Sales.ini, a read-only QelConnect.log and a working
// folder that cannot be written. Permissions do not stop root, so the sale runs in a child
// process that has given up root for the user nobody; any other user runs it
// as itself.
#include <grp.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/faults/fault_fixture.h"
#include "tests/faults/fault_server.h"
#include "tests/transport/kasse_answers.h"

namespace qel::test {
namespace {

constexpr uid_t kNobody = 65534;

// A result record in memory that the child shares with the test, so the test
// sees what the library wrote into it.
class SharedRecord {
 public:
  SharedRecord() {
    void* p = mmap(nullptr, kResultSize, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    bytes_ = static_cast<std::uint8_t*>(p);
    std::memset(bytes_, kResultPattern, kResultSize);
  }
  ~SharedRecord() { munmap(bytes_, kResultSize); }
  SharedRecord(const SharedRecord&) = delete;
  SharedRecord& operator=(const SharedRecord&) = delete;

  std::uint8_t* data() const { return bytes_; }
  bool untouched() const {
    for (std::size_t i = 0; i < kResultSize; ++i) {
      if (bytes_[i] != kResultPattern) return false;
    }
    return true;
  }

 private:
  std::uint8_t* bytes_ = nullptr;
};

// An owned file descriptor.
struct Fd {
  int fd = -1;
  ~Fd() {
    if (fd >= 0) close(fd);
  }
};

bool writeAll(int fd, const void* data, std::size_t size) {
  const auto* p = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t n = write(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool readAll(int fd, void* data, std::size_t size) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t n = read(fd, p, size);
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

// The child's outcome travels through a pipe: the code, then each box as
// its caption and its text, each a length and wide characters.
void sendOutcome(int fd, const CallOutcome& outcome) {
  const std::uint32_t count = static_cast<std::uint32_t>(outcome.boxes.size());
  writeAll(fd, &outcome.code, sizeof outcome.code);
  writeAll(fd, &count, sizeof count);
  for (const boxoffice::ShownDialog& box : outcome.boxes) {
    for (const std::wstring* text : {&box.caption, &box.text}) {
      const std::uint32_t length = static_cast<std::uint32_t>(text->size());
      writeAll(fd, &length, sizeof length);
      writeAll(fd, text->data(), length * sizeof(wchar_t));
    }
  }
}

bool receiveOutcome(int fd, CallOutcome& outcome) {
  std::uint32_t count = 0;
  if (!readAll(fd, &outcome.code, sizeof outcome.code) || !readAll(fd, &count, sizeof count)) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    boxoffice::ShownDialog box;
    for (std::wstring* text : {&box.caption, &box.text}) {
      std::uint32_t length = 0;
      if (!readAll(fd, &length, sizeof length)) return false;
      text->resize(length);
      if (!readAll(fd, text->data(), length * sizeof(wchar_t))) return false;
    }
    outcome.boxes.push_back(box);
  }
  return true;
}

class PermissionFaultTest : public FaultTest {
 protected:
  // The sale, in a child process that permissions bind.
  CallOutcome sellUnprivileged() {
    // Loaded while still privileged, as the host has it loaded before any
    // sale: a checkout in a private folder is closed to the user nobody.
    faultLibrary();
    int pipeFds[2];
    if (pipe(pipeFds) != 0) throw std::runtime_error("pipe failed");
    Fd readEnd{pipeFds[0]};
    Fd writeEnd{pipeFds[1]};
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
      // Nothing of the test's own clean-up may run in the child: it ends
      // with _exit.
      if (geteuid() == 0 && (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0)) _exit(3);
      try {
        sendOutcome(writeEnd.fd, callSale(sale_.record(), paymentType_.data(), shared_.data(), {kAnswerOk, kAnswerOk}));
      } catch (...) {
        _exit(4);
      }
      _exit(0);
    }
    close(writeEnd.fd);
    writeEnd.fd = -1;
    CallOutcome outcome;
    const bool received = receiveOutcome(readEnd.fd, outcome);
    int status = 0;
    waitpid(child, &status, 0);
    EXPECT_TRUE(received && WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the child ended abnormally";
    return reported(outcome);
  }

  void TearDown() override {
    // The scratch folder must be removable again.
    std::filesystem::permissions(dir_.path(), std::filesystem::perms::owner_all);
  }

  SharedRecord shared_;
};

TEST_F(PermissionFaultTest, UnreadableConfigurationFailsTheSale) {
  startKasse();
  std::filesystem::permissions("QelConnect.xml", std::filesystem::perms::none);
  const CallOutcome outcome = sellUnprivileged();
  EXPECT_EQ(outcome.code, kNotCompleted);
  EXPECT_TRUE(startsWith(errorText(outcome), L"Could not load configuration file 'QelConnect.xml'."));
  EXPECT_TRUE(shared_.untouched());
  EXPECT_EQ(kasse_->connections(), 0) << "nothing may be sent";
}

// A Sales.ini that is there but cannot be read may hold another terminal
// number: the sale stops rather than go out under the default.
TEST_F(PermissionFaultTest, UnreadableSalesIniStopsTheSaleBeforeSending) {
  startKasse();
  writeFile("Sales.ini", "TerminalID=4711\r\n");
  std::filesystem::permissions("Sales.ini", std::filesystem::perms::none);
  const CallOutcome outcome = sellUnprivileged();
  EXPECT_EQ(outcome.code, kNotCompleted);
  EXPECT_EQ(errorText(outcome), L"Could not read file 'Sales.ini': Permission denied (13)");
  EXPECT_TRUE(shared_.untouched());
  EXPECT_EQ(kasse_->connections(), 0) << "nothing may be sent";
}

TEST_F(PermissionFaultTest, ReadOnlyLogCostsOnlyTheEntry) {
  startKasse();
  writeFile("QelConnect.log", "");
  std::filesystem::permissions("QelConnect.log",
                               std::filesystem::perms::owner_read | std::filesystem::perms::others_read);
  const CallOutcome outcome = sellUnprivileged();
  EXPECT_EQ(outcome.code, 0);
  EXPECT_EQ(outcome.boxes.size(), 2u) << "no error box";
  EXPECT_FALSE(shared_.untouched());
  EXPECT_EQ(std::filesystem::file_size("QelConnect.log"), 0u);
}

TEST_F(PermissionFaultTest, UnwritableWorkingFolderCostsOnlyTheEntry) {
  startKasse();
  using std::filesystem::perms;
  std::filesystem::permissions(dir_.path(),
                               perms::owner_read | perms::owner_exec | perms::others_read | perms::others_exec);
  const CallOutcome outcome = sellUnprivileged();
  EXPECT_EQ(outcome.code, 0);
  EXPECT_EQ(outcome.boxes.size(), 2u) << "no error box";
  EXPECT_FALSE(shared_.untouched());
  EXPECT_FALSE(std::filesystem::exists("QelConnect.log"));
}

// A site that keeps the folder read-only for its users and lets them write
// only the plug-in's own files, created ahead: sales complete, the log gets
// its entry, the trace rotates in place, and no other file appears.
TEST_F(PermissionFaultTest, FolderWithOnlyThePluginsFilesWritableKeepsEverythingWorking) {
  startKasse();
  using std::filesystem::perms;
  const std::string full = std::string(kTraceLimit - 1, 'x') + "\n";
  writeFile("QelConnect.trace", full);
  for (const char* name : {"QelConnect.log", "QelConnect.trace.1", "QelConnect.journal"}) writeFile(name, "");
  const perms readWrite = perms::owner_read | perms::owner_write | perms::group_read | perms::group_write |
                          perms::others_read | perms::others_write;
  for (const char* name : {"QelConnect.log", "QelConnect.trace", "QelConnect.trace.1", "QelConnect.journal"}) {
    std::filesystem::permissions(name, readWrite);
  }
  std::filesystem::permissions(dir_.path(), perms::owner_read | perms::owner_exec | perms::group_read |
                                                perms::group_exec | perms::others_read | perms::others_exec);
  std::vector<std::string> before;
  for (const auto& entry : std::filesystem::directory_iterator(".")) before.push_back(entry.path().filename());
  for (int sale = 0; sale < 2; ++sale) {
    const CallOutcome outcome = sellUnprivileged();
    EXPECT_EQ(outcome.code, 0);
    EXPECT_EQ(outcome.boxes.size(), 2u) << "no error box";
  }
  std::vector<std::string> after;
  for (const auto& entry : std::filesystem::directory_iterator(".")) after.push_back(entry.path().filename());
  std::sort(before.begin(), before.end());
  std::sort(after.begin(), after.end());
  EXPECT_EQ(after, before) << "no file may be created, renamed or removed";
  const std::string log = readFile("QelConnect.log");
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(log.substr(0, log.size() / 2), log.substr(log.size() / 2)) << "one entry for each sale";
  EXPECT_EQ(readFile("QelConnect.trace.1"), full) << "the full trace moved in place";
  const std::vector<std::string> lines = traceLines();
  ASSERT_EQ(lines.size(), 4u);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(traceText(lines[i], "outcome"), i % 2 == 0 ? "sending" : "accepted") << i;
  }
}

}  // namespace
}  // namespace qel::test
