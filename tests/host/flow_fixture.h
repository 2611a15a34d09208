// A working folder with QelConnect.xml pointing at a scripted cash register,
// a recorded dialog script and a sale laid out as the host lays it out: what
// every end-to-end test of the two transfers starts from, on the native
// library. The Wine tests' DllFlowTest offers the same members, so that the
// cases of flow_cases_test.cpp run on both.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>

#include "host/qelconnect.h"
#include "tests/support/dialog_recorder.h"
#include "tests/support/host_sale.h"
#include "tests/support/sale_scenario.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/server_loopback.h"
#include "tests/transport/kasse_answers.h"

namespace qel::test {

class FlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    result_.fill(kResultPattern);
  }

  // Starts the cash register with a fixed answer and writes QelConnect.xml.
  void startKasse(std::string response, int prefix = 0) {
    server_.emplace(std::move(response));
    writeFile("QelConnect.xml", configFor(server_->url(), prefix));
  }
  void acceptingKasse(int prefix = 0) { startKasse(httpResponse(200, kasseAnswer("0", "OK")), prefix); }

  std::int32_t sell(const SaleBytes& sale, std::deque<int> answers) {
    HostSale host(sale);
    dialogs_.emplace(std::move(answers));
    return hrECExecute(nullptr, owner(), host.record(), paymentType_.data(), nullptr, result_.data());
  }

  std::int32_t refund(const void* record) {
    dialogs_.emplace();
    return hrECRefund(nullptr, owner(), record);
  }

  void init() {
    std::uint32_t module = 0;
    ASSERT_EQ(hrECInit(nullptr, &module), 0);
  }

  std::size_t requestCount() const { return server_ ? server_->requests().size() : 0; }
  std::string lastBody() const { return server_->requests().back().body; }
  const std::vector<Dialog>& dialogs() const { return dialogs_->seen(); }
  bool resultUntouched() const {
    for (std::uint8_t b : result_) {
      if (b != kResultPattern) return false;
    }
    return true;
  }
  static void* owner() { return reinterpret_cast<void*>(0x5150); }
  static bool logExists() { return std::filesystem::exists("QelConnect.log"); }

  // A question: OK and Cancel, no icon, owned by the host's window.
  static void expectQuestion(const Dialog& box, const wchar_t* text) {
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, kTransaction);
    EXPECT_EQ(box.type, 1u) << "OK and Cancel, no icon";
    EXPECT_EQ(box.owner, owner());
  }
  // An error box: the message, the error caption, OK only, no icon.
  static void expectErrorBox(const Dialog& box, const std::wstring& message) {
    EXPECT_EQ(box.text, message);
    EXPECT_EQ(box.caption, kErrorCaption);
    EXPECT_EQ(box.type, 0u) << "OK only, no icon";
    EXPECT_EQ(box.owner, owner());
  }

  ScratchDir dir_;
  std::optional<LoopbackServer> server_;
  std::optional<DialogRecorder> dialogs_;
  PaymentTypeRecord paymentType_ = paymentType();
  ResultRecord result_;
};

}  // namespace qel::test
