// The informational exports, called through the native library's C interface.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "boxoffice/box_answerer.h"
#include "boxoffice/host_library.h"
#include "host/qelconnect.h"
#include "tests/support/scratch_dir.h"

namespace {

template <typename T>
T readAt(const std::uint8_t* bytes, std::size_t offset) {
  T v;
  std::memcpy(&v, bytes + offset, sizeof v);
  return v;
}

// Where the native library was mapped, as the loader reports it.
std::uintptr_t libraryBaseAddress() {
  Dl_info info{};
  dladdr(reinterpret_cast<void*>(&hrECInit), &info);
  return reinterpret_cast<std::uintptr_t>(info.dli_fbase);
}

TEST(FixedExports, ConstantRoutinesReturnOneAndShowNothing) {
  const qel::boxoffice::HostLibrary library(QEL_LIBRARY_PATH);
  const qel::boxoffice::BoxAnswerer dialogs(library, std::vector<int>{});
  EXPECT_EQ(hrECGetPayStatus(), 1);
  EXPECT_EQ(hrECRecover(), 1);
  EXPECT_EQ(hrReprintECReceipt(), 1);
  EXPECT_EQ(hrDoShift(), 1);
  EXPECT_EQ(hrECConfig(), 0);
  vECShowLastErrorText();
  EXPECT_TRUE(dialogs.dialogs().empty());
}

TEST(FixedExports, DeInitAndFeaturesWriteTheirWord) {
  std::uint32_t word = 0xDEADBEEF;
  EXPECT_EQ(hrECDeInit(&word), 0);
  EXPECT_EQ(word, 0u);
  word = 0xDEADBEEF;
  EXPECT_EQ(hrECGetModuleFeatures(nullptr, &word), 0);
  EXPECT_EQ(word, 1u);
}

TEST(FixedExports, NullResultPointersAreSkipped) {
  EXPECT_EQ(hrECDeInit(nullptr), 0);
  EXPECT_EQ(hrECGetModuleFeatures(nullptr, nullptr), 0);
  EXPECT_EQ(hrECGetModuleInfo(nullptr, nullptr), 0);
  vECGetLastErrorText(nullptr, nullptr);
  qel::test::ScratchDir dir;
  EXPECT_EQ(hrECInit(nullptr, nullptr), 0);
}

TEST(FixedExports, ModuleInfoIsFilledAlikeEveryTime) {
  std::array<std::uint8_t, 141 + 8> record;
  record.fill(0xA5);
  ASSERT_EQ(hrECGetModuleInfo(reinterpret_cast<void*>(0x1234), record.data()), 0);
  EXPECT_EQ(readAt<std::uint32_t>(record.data(), 0), 4u);
  EXPECT_EQ(readAt<std::uint32_t>(record.data(), 4), 8u);
  EXPECT_EQ(readAt<std::uint32_t>(record.data(), 8), 123456789u);
  EXPECT_STREQ(reinterpret_cast<const char*>(record.data() + 12), "Qel");
  for (std::size_t i = 141; i < record.size(); ++i) EXPECT_EQ(record[i], 0xA5) << "byte " << i << " is not ours";
  auto again = record;
  again.fill(0x5A);
  hrECGetModuleInfo(nullptr, again.data());
  EXPECT_TRUE(std::equal(record.begin(), record.begin() + 141, again.begin()));
}

TEST(FixedExports, ErrorTextKeepsTheBytesBehindItsTerminator) {
  std::array<std::uint8_t, 517> record;
  record.fill(0x77);
  vECGetLastErrorText(nullptr, record.data());
  EXPECT_EQ(readAt<std::uint32_t>(record.data(), 0), 517u);
  EXPECT_EQ(std::memcmp(record.data() + 4, "Fehler\0", 7), 0);
  for (std::size_t i = 11; i < record.size(); ++i) ASSERT_EQ(record[i], 0x77) << "byte " << i;
}

TEST(FixedExports, InitWritesTheModuleAddressAndEmptiesTheLog) {
  qel::test::ScratchDir dir;
  {
    std::ofstream log("QelConnect.log", std::ios::binary);
    log << "an entry of an earlier day\r\n\r\n";
  }
  std::uint32_t address = 0;
  ASSERT_EQ(hrECInit(reinterpret_cast<void*>(0x1), &address), 0);
  EXPECT_EQ(address, static_cast<std::uint32_t>(libraryBaseAddress()));
  std::ifstream log("QelConnect.log", std::ios::binary);
  ASSERT_TRUE(log.good());
  EXPECT_EQ(log.peek(), std::char_traits<char>::eof());
}

TEST(FixedExports, InitCreatesAMissingLog) {
  qel::test::ScratchDir dir;
  std::uint32_t address = 0;
  ASSERT_EQ(hrECInit(nullptr, &address), 0);
  EXPECT_TRUE(std::ifstream("QelConnect.log").good());
}

}  // namespace
