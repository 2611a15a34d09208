// What the Wine tests of the two transfers start from: QelConnect.dll loaded
// with LoadLibraryW, a hidden host window owning the real message boxes, a
// scratch working folder whose QelConnect.xml points at a scripted cash
// register on 127.0.0.1, and the host's records laid out byte for byte.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "host/qelconnect.h"
#include "tests/support/host_sale.h"
#include "tests/support/sale_scenario.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/server_loopback.h"
#include "tests/transport/kasse_answers.h"
#include "tools/winhost/dialog_answerer.h"
#include "tools/winhost/loaded_library.h"

namespace qel::test {

using winhost::kIdCancel;
using winhost::kIdOk;
using winhost::ShownDialog;

inline bool fileExists(const wchar_t* name) { return GetFileAttributesW(name) != INVALID_FILE_ATTRIBUTES; }

// A hidden top-level window standing in for the box-office application's
// main window, the owner of every box.
class HostWindow {
 public:
  HostWindow()
      : window_(CreateWindowExW(0, L"STATIC", L"Host", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr)) {}
  ~HostWindow() {
    if (window_ != nullptr) DestroyWindow(window_);
  }
  HostWindow(const HostWindow&) = delete;
  HostWindow& operator=(const HostWindow&) = delete;
  HWND get() const { return window_; }

 private:
  HWND window_;
};

// A file held open by the test, with the given sharing for everyone else.
class HeldFile {
 public:
  HeldFile(const wchar_t* name, DWORD share)
      : handle_(CreateFileW(name, GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                            nullptr)) {}
  ~HeldFile() {
    if (isOpen()) CloseHandle(handle_);
  }
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;
  bool isOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// The library stays loaded for the whole suite, as in the host, which loads
// it once; every test works in a scratch working folder of its own.
class DllFlowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { library_ = new winhost::LoadedLibrary(QEL_DLL_PATH); }
  static void TearDownTestSuite() {
    delete library_;
    library_ = nullptr;
  }

  void SetUp() override {
    ASSERT_NE(host_.get(), nullptr);
    result_.fill(kResultPattern);
  }

  // Starts the cash register with a fixed answer and writes QelConnect.xml.
  void startKasse(std::string response, int prefix = 0) {
    server_.emplace(std::move(response));
    writeFile("QelConnect.xml", configFor(server_->url(), prefix));
  }
  void acceptingKasse(int prefix = 0) { startKasse(httpResponse(200, kasseAnswer("0", "OK")), prefix); }

  // One sale through hrECExecute, its boxes answered with `answers`; the
  // boxes it showed are in dialogs() afterwards.
  std::int32_t sell(const SaleBytes& sale, std::vector<int> answers) {
    HostSale record(sale);
    winhost::DialogAnswerer answerer(std::move(answers));
    auto execute = library_->function<decltype(&hrECExecute)>("hrECExecute");
    const std::int32_t code =
        execute(nullptr, host_.get(), record.record(), paymentType_.data(), nullptr, result_.data());
    dialogs_ = answerer.dialogs();
    return code;
  }

  std::int32_t refund(const void* record) {
    winhost::DialogAnswerer answerer;
    const std::int32_t code = library_->function<decltype(&hrECRefund)>("hrECRefund")(nullptr, host_.get(), record);
    dialogs_ = answerer.dialogs();
    return code;
  }

  void init() {
    std::uint32_t module = 0;
    ASSERT_EQ(library_->function<decltype(&hrECInit)>("hrECInit")(nullptr, &module), 0);
  }

  const std::vector<ShownDialog>& dialogs() const { return dialogs_; }
  void* owner() const { return host_.get(); }
  static bool logExists() { return fileExists(L"QelConnect.log"); }
  std::size_t requestCount() const { return server_ ? server_->requests().size() : 0; }
  std::string lastBody() const { return server_->requests().back().body; }
  bool resultUntouched() const {
    for (std::uint8_t b : result_) {
      if (b != kResultPattern) return false;
    }
    return true;
  }

  // A question: OK and Cancel, no icon, owned by the host's window.
  void expectQuestion(const ShownDialog& box, const wchar_t* text) const {
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, kTransaction);
    EXPECT_EQ(box.buttons, (std::vector<int>{kIdOk, kIdCancel}));
    EXPECT_FALSE(box.hasIcon);
    EXPECT_EQ(box.owner, host_.get());
  }

  // An error box: the message, the error caption, OK only, no icon, owned
  // by the host's window.
  void expectErrorBox(const ShownDialog& box, const std::wstring& message) const {
    EXPECT_EQ(box.text, message);
    EXPECT_EQ(box.caption, kErrorCaption);
    EXPECT_EQ(box.buttons, (std::vector<int>{kIdOk}));
    EXPECT_FALSE(box.hasIcon);
    EXPECT_EQ(box.owner, host_.get());
  }

  inline static winhost::LoadedLibrary* library_ = nullptr;
  ScratchDir dir_;
  HostWindow host_;
  std::optional<LoopbackServer> server_;
  std::vector<ShownDialog> dialogs_;
  PaymentTypeRecord paymentType_ = paymentType();
  ResultRecord result_;
};

}  // namespace qel::test
