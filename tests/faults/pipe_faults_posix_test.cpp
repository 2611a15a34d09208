// Pipes and devices in place of the files a sale reads, on POSIX: the sale
// must neither wait for a writer that never comes nor read a device without
// end, and must stop before anything is sent.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "tests/faults/fault_fixture.h"

namespace qel::test {
namespace {

const std::wstring kSalesIniNotRegular = L"Could not read file 'Sales.ini': not a regular file";
const std::wstring kConfigNotFound =
    L"Could not load configuration file 'QelConnect.xml'. It must be installed in the folder [pathto]/Quendal/Sales/";
const std::wstring kCaFileNotRegular = L"CA file 'ca.pem' is not a regular file";

void makePipe(const char* name) { ASSERT_EQ(mkfifo(name, 0600), 0) << name; }
void linkToZero(const char* name) { std::filesystem::create_symlink("/dev/zero", name); }

using PipeFaultTest = FaultTest;

TEST_F(PipeFaultTest, PipeOrDeviceStopsTheSaleBeforeSending) {
  struct Case {
    const char* file;
    const char* kind;
    std::function<void(const char*)> make;
    std::wstring message;
  };
  const Case cases[] = {
      {"Sales.ini", "pipe", makePipe, kSalesIniNotRegular},
      {"Sales.ini", "/dev/zero", linkToZero, kSalesIniNotRegular},
      {"QelConnect.xml", "pipe", makePipe, kConfigNotFound},
      {"QelConnect.xml", "/dev/zero", linkToZero, kConfigNotFound},
      {"ca.pem", "pipe", makePipe, kCaFileNotRegular},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " as " + c.kind);
    ScratchDir dir;
    startKasse();
    writeFile("QelConnect.xml", configFor(kasse_->url(), "ca.pem"));
    std::filesystem::remove(c.file);
    c.make(c.file);
    EXPECT_EQ(expectSaleStoppedBeforeSending(sell()), c.message);
  }
}

// A pipe in place of the log or the trace is no file to write: the sale
// neither waits for a reader nor sends the entry to one that is attached,
// and only the entry is lost.
TEST_F(PipeFaultTest, PipeInPlaceOfTheLogOrTraceCostsOnlyTheEntry) {
  for (const char* file : {"QelConnect.log", "QelConnect.trace"}) {
    for (const bool withReader : {false, true}) {
      SCOPED_TRACE(std::string(file) + (withReader ? " with a reader" : " without a reader"));
      ScratchDir dir;
      startKasse();
      makePipe(file);
      const int reader = withReader ? open(file, O_RDONLY | O_NONBLOCK) : -1;
      ASSERT_EQ(reader >= 0, withReader);
      const CallOutcome outcome = sell();
      EXPECT_EQ(outcome.code, 0);
      EXPECT_EQ(outcome.boxes.size(), 2u) << "no error box";
      EXPECT_FALSE(resultUntouched());
      if (reader < 0) continue;
      char received[64];
      EXPECT_LE(read(reader, received, sizeof received), 0) << "the entry went into the pipe";
      close(reader);
    }
  }
}

}  // namespace
}  // namespace qel::test
