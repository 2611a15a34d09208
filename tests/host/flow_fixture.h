// What every end-to-end test of the two transfers starts from, on both
// targets: the library loaded as the host loads it, the host's window, a
// scratch working folder whose QelConnect.xml points at a scripted cash
// register on 127.0.0.1, the boxes answered from a script and recorded, and
// the host's records laid out byte for byte.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "boxoffice/box_answerer.h"
#include "boxoffice/host_library.h"
#include "boxoffice/host_sale.h"
#include "boxoffice/host_window.h"
#include "tests/support/sale_scenario.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/server_loopback.h"
#include "tests/transport/kasse_answers.h"

namespace qel::test {

using boxoffice::kIdCancel;
using boxoffice::kIdOk;
using boxoffice::ShownDialog;

// The library stays loaded for the whole suite, as in the host, which loads
// it once; every test works in a scratch working folder of its own.
class FlowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { library_ = std::make_unique<boxoffice::HostLibrary>(QEL_LIBRARY_PATH); }
  static void TearDownTestSuite() { library_.reset(); }

  void SetUp() override {
    ASSERT_NE(host_.handle(), nullptr);
    result_.fill(kResultPattern);
  }

  // Starts the cash register with a fixed answer and writes QelConnect.xml.
  void startKasse(std::string response, int prefix = 0) {
    server_.emplace(std::move(response));
    writeFile("QelConnect.xml", configFor(server_->url(), prefix));
  }
  void acceptingKasse(int prefix = 0) { startKasse(httpResponse(200, kasseAnswer("0", "OK")), prefix); }
  // A cash register that answers with `response` after `delay`.
  void slowKasse(std::chrono::milliseconds delay, std::string response) {
    server_.emplace([delay, response](const ReceivedRequest&, ServerConnection& connection) {
      std::this_thread::sleep_for(delay);
      connection.send(response);
    });
    writeFile("QelConnect.xml", configFor(server_->url(), 0));
  }

  // One sale through hrECExecute, its boxes answered with `answers` (OK
  // beyond them); the boxes it showed are in dialogs() afterwards.
  std::int32_t sell(const boxoffice::SaleBytes& sale, std::vector<int> answers) {
    boxoffice::HostSale record(sale);
    boxoffice::BoxAnswerer answerer(*library_, std::move(answers));
    const std::int32_t code =
        library_->execute()(nullptr, owner(), record.record(), paymentType_.data(), nullptr, result_.data());
    dialogs_ = answerer.dialogs();
    progress_ = answerer.progress();
    return code;
  }

  std::int32_t refund(const void* record) {
    boxoffice::BoxAnswerer answerer(*library_, std::vector<int>{});
    const std::int32_t code = library_->refund()(nullptr, owner(), record);
    dialogs_ = answerer.dialogs();
    progress_ = answerer.progress();
    return code;
  }

  void init() {
    std::uint32_t module = 0;
    ASSERT_EQ(library_->init()(nullptr, &module), 0);
  }

  const std::vector<ShownDialog>& dialogs() const { return dialogs_; }
  void* owner() const { return host_.handle(); }
  static bool logExists() { return std::filesystem::exists("QelConnect.log"); }
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
    expectBox(box, text, kTransaction, {kIdOk, kIdCancel});
  }

  // An error box: the message, the error caption, OK only, no icon, owned
  // by the host's window.
  void expectErrorBox(const ShownDialog& box, const std::wstring& message) const {
    expectBox(box, message, kErrorCaption, {kIdOk});
  }

  inline static std::unique_ptr<boxoffice::HostLibrary> library_;
  ScratchDir dir_;
  boxoffice::HostWindow host_;
  std::optional<LoopbackServer> server_;
  std::vector<ShownDialog> dialogs_;
  std::vector<boxoffice::ProgressReport> progress_;
  PaymentTypeRecord paymentType_ = paymentType();
  ResultRecord result_;

 private:
  void expectBox(const ShownDialog& box, const std::wstring& text, const wchar_t* caption,
                 const std::vector<int>& buttons) const {
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, caption);
    EXPECT_EQ(box.buttons, buttons);
    EXPECT_FALSE(box.hasIcon);
    EXPECT_EQ(box.otherStyle, 0u);
    EXPECT_EQ(box.owner, owner());
  }
};

}  // namespace qel::test
