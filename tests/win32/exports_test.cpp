// QelConnect.dll loaded with LoadLibraryW and called by export name, as the
// box-office application does, with its real message boxes answered.
#include <windows.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "boxoffice/box_hook_win32.h"
#include "boxoffice/host_library.h"
#include "host/qelconnect.h"
#include "tests/support/scratch_dir.h"

namespace {

using qel::boxoffice::BoxHook;
using qel::boxoffice::HostLibrary;
using qel::boxoffice::kIdCancel;
using qel::boxoffice::kIdOk;

constexpr std::int32_t kNotCompleted = 0x00040002;
constexpr std::size_t kModuleInfoSize = 141;
constexpr std::size_t kErrorTextSize = 517;
constexpr std::size_t kGuard = 16;

template <typename T>
T readAt(const std::uint8_t* bytes, std::size_t offset) {
  T value;
  std::memcpy(&value, bytes + offset, sizeof value);
  return value;
}

std::uintmax_t fileSize(const char* name) { return std::filesystem::file_size(name); }

void writeFile(const char* name, const std::string& bytes) { std::ofstream(name, std::ios::binary) << bytes; }

// The library stays loaded for the whole suite, as in the host, which loads
// it once; every test works in its own scratch working folder.
class DllExports : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { library = new HostLibrary(QEL_DLL_PATH); }
  static void TearDownTestSuite() {
    delete library;
    library = nullptr;
  }

  template <typename Function>
  static Function* get(const char* name) {
    return library->function<Function*>(name);
  }

  static HostLibrary* library;
  qel::test::ScratchDir scratch;
};

HostLibrary* DllExports::library = nullptr;

TEST_F(DllExports, ModuleInfoIsFilledAlikeEveryTime) {
  auto getModuleInfo = get<decltype(hrECGetModuleInfo)>("hrECGetModuleInfo");
  std::array<std::uint8_t, kModuleInfoSize + kGuard> record;
  record.fill(0xA5);
  ASSERT_EQ(getModuleInfo(reinterpret_cast<void*>(0x1234), record.data()), 0);
  EXPECT_EQ(readAt<std::uint32_t>(record.data(), 0), 4u);
  EXPECT_EQ(readAt<std::uint32_t>(record.data(), 4), 8u);
  EXPECT_EQ(readAt<std::uint32_t>(record.data(), 8), 123456789u);
  EXPECT_EQ(std::memcmp(record.data() + 12, "Qel", 4), 0);
  for (std::size_t i = kModuleInfoSize; i < record.size(); ++i) EXPECT_EQ(record[i], 0xA5) << "byte " << i;

  std::array<std::uint8_t, kModuleInfoSize + kGuard> again;
  again.fill(0x5A);
  ASSERT_EQ(getModuleInfo(nullptr, again.data()), 0);
  EXPECT_EQ(std::memcmp(record.data(), again.data(), 16), 0);
}

TEST_F(DllExports, ErrorTextIsFixedAndKeepsTheBytesBehindIt) {
  auto getLastErrorText = get<decltype(vECGetLastErrorText)>("vECGetLastErrorText");
  std::array<std::uint8_t, kErrorTextSize + kGuard> record;
  record.fill(0xCD);
  getLastErrorText(nullptr, record.data());
  EXPECT_EQ(readAt<std::uint32_t>(record.data(), 0), 517u);
  EXPECT_EQ(std::memcmp(record.data() + 4, "Fehler", 7), 0);
  for (std::size_t i = 4 + 7; i < record.size(); ++i) EXPECT_EQ(record[i], 0xCD) << "byte " << i;
}

TEST_F(DllExports, ConstantRoutinesReturnTheirCodeAndShowNothing) {
  struct Case {
    const char* name;
    std::int32_t result;
  };
  const Case cases[] = {
      {"hrECGetPayStatus", 1}, {"hrECRecover", 1}, {"hrReprintECReceipt", 1}, {"hrDoShift", 1}, {"hrECConfig", 0}};
  BoxHook answerer;
  for (const Case& c : cases) EXPECT_EQ(get<decltype(hrECConfig)>(c.name)(), c.result) << c.name;
  get<decltype(vECShowLastErrorText)>("vECShowLastErrorText")();
  EXPECT_TRUE(answerer.dialogs().empty());
}

TEST_F(DllExports, DeInitAndFeaturesWriteTheirWord) {
  std::uint32_t word = 0xDEADBEEF;
  EXPECT_EQ(get<decltype(hrECDeInit)>("hrECDeInit")(&word), 0);
  EXPECT_EQ(word, 0u);
  word = 0xDEADBEEF;
  EXPECT_EQ(get<decltype(hrECGetModuleFeatures)>("hrECGetModuleFeatures")(nullptr, &word), 0);
  EXPECT_EQ(word, 1u);
}

TEST_F(DllExports, NullResultPointersAreSkipped) {
  EXPECT_EQ(get<decltype(hrECInit)>("hrECInit")(nullptr, nullptr), 0);
  EXPECT_EQ(get<decltype(hrECDeInit)>("hrECDeInit")(nullptr), 0);
  EXPECT_EQ(get<decltype(hrECGetModuleInfo)>("hrECGetModuleInfo")(nullptr, nullptr), 0);
  EXPECT_EQ(get<decltype(hrECGetModuleFeatures)>("hrECGetModuleFeatures")(nullptr, nullptr), 0);
  get<decltype(vECGetLastErrorText)>("vECGetLastErrorText")(nullptr, nullptr);
}

TEST_F(DllExports, InitWritesTheModuleHandleThatLoadLibraryReturned) {
  std::uint32_t handle = 0;
  ASSERT_EQ(get<decltype(hrECInit)>("hrECInit")(nullptr, &handle), 0);
  EXPECT_EQ(handle, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(library->handle())));
}

// The log is emptied whatever state it is in, and an unopenable log does not
// stop the initialisation.
TEST_F(DllExports, InitEmptiesTheLog) {
  auto init = get<decltype(hrECInit)>("hrECInit");
  std::uint32_t handle = 0;

  writeFile("QelConnect.log", "an entry of the last session\r\n");
  ASSERT_EQ(init(nullptr, &handle), 0);
  EXPECT_EQ(fileSize("QelConnect.log"), 0u);

  std::filesystem::remove("QelConnect.log");
  ASSERT_EQ(init(nullptr, &handle), 0);
  EXPECT_TRUE(std::filesystem::exists("QelConnect.log"));
  EXPECT_EQ(fileSize("QelConnect.log"), 0u);
}

TEST_F(DllExports, InitEmptiesTheLogWhileAViewerHoldsItOpen) {
  writeFile("QelConnect.log", "an entry of the last session\r\n");
  HANDLE viewer = CreateFileW(L"QelConnect.log", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
  std::uint32_t handle = 0;
  EXPECT_EQ(get<decltype(hrECInit)>("hrECInit")(nullptr, &handle), 0);
  LARGE_INTEGER size{};
  ASSERT_TRUE(GetFileSizeEx(viewer, &size));
  EXPECT_EQ(size.QuadPart, 0);
  CloseHandle(viewer);
}

TEST_F(DllExports, InitIgnoresALogThatCannotBeOpened) {
  std::filesystem::create_directory("QelConnect.log");
  std::uint32_t handle = 0;
  EXPECT_EQ(get<decltype(hrECInit)>("hrECInit")(nullptr, &handle), 0);
  EXPECT_EQ(handle, static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(library->handle())));
}

// A hidden top-level window standing in for the host's main window.
class HostWindow {
 public:
  HostWindow()
      : window_(CreateWindowExW(0, L"STATIC", L"Host", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr)) {}
  ~HostWindow() { DestroyWindow(window_); }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_;
};

TEST_F(DllExports, DecliningTheTransferShowsOneQuestionOwnedByTheHost) {
  HostWindow host;
  ASSERT_NE(host.get(), nullptr);
  std::array<std::uint8_t, 4096> order{};
  std::array<std::uint8_t, 8> paymentType{};
  std::array<std::uint8_t, 3338> result{};
  BoxHook answerer({kIdCancel});
  EXPECT_EQ(get<decltype(hrECExecute)>("hrECExecute")(nullptr, host.get(), order.data(), paymentType.data(), nullptr,
                                                      result.data()),
            kNotCompleted);
  ASSERT_EQ(answerer.dialogs().size(), 1u);
  const auto& box = answerer.dialogs()[0];
  EXPECT_EQ(box.caption, L"Transaktionsfenster");
  EXPECT_EQ(box.text, L"Ticket in die Kasse uebertragen?");
  EXPECT_EQ(box.buttons, (std::vector<int>{kIdOk, kIdCancel}));
  EXPECT_FALSE(box.hasIcon);
  EXPECT_EQ(box.owner, host.get());
}

// Without QelConnect.xml in the working folder a refund fails before any
// transfer, and the operator sees the error box.
TEST_F(DllExports, AFailedRefundShowsTheErrorBox) {
  HostWindow host;
  std::array<std::uint8_t, 24> refund{};
  std::memcpy(refund.data() + 16, "EUR", 4);
  BoxHook answerer({kIdOk});
  get<decltype(hrECRefund)>("hrECRefund")(nullptr, host.get(), refund.data());
  ASSERT_EQ(answerer.dialogs().size(), 1u);
  const auto& box = answerer.dialogs()[0];
  EXPECT_EQ(box.caption, L"Fehler bei Datenübertragung");
  EXPECT_EQ(box.text.rfind(L"Could not load configuration file 'QelConnect.xml'.", 0), 0u) << box.text.c_str();
  EXPECT_EQ(box.buttons, (std::vector<int>{kIdOk}));
  EXPECT_FALSE(box.hasIcon);
  EXPECT_EQ(box.owner, host.get());
}

}  // namespace
