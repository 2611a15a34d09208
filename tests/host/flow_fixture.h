// A working folder with QelConnect.xml pointing at a scripted cash register,
// a recorded dialog script and a sale laid out as the host lays it out: what
// every end-to-end test of the two transfers starts from.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

#include "tests/support/dialog_recorder.h"
#include "tests/support/host_sale.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/server_loopback.h"
#include "tests/transport/kasse_answers.h"

namespace qel::test {

constexpr std::int32_t kNotCompleted = 0x00040002;
constexpr std::size_t kResultSize = 3338;
constexpr std::uint8_t kResultPattern = 0xC3;

inline std::string readFile(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeFile(const std::string& name, const std::string& bytes) {
  std::ofstream(name, std::ios::binary) << bytes;
}

// The library is called through its C interface only (linking its internals
// as well would give the test a second dialog seam), so the loopback URL,
// which is ASCII, is narrowed by hand.
inline std::string configFor(const std::wstring& url, int prefix = 0) {
  return "<endpoint><username>kasse</username><password>geheim</password><url>" + std::string(url.begin(), url.end()) +
         "</url></endpoint><compatibility><oldkasse>0</oldkasse><oldkasseprefix>" + std::to_string(prefix) +
         "</oldkasseprefix></compatibility>";
}

// A small sale: one position with two tickets, total 42.50, pool 77.
inline SaleBytes smallSale(double total = 42.5) {
  SaleBytes sale;
  sale.id = 4711;
  sale.belegnummer = 815;
  sale.bruttogesamtpreis = total;
  sale.poolId = 77;
  PositionBytes position;
  position.id = 1;
  position.gesamtpreis = total;
  position.event = {9, 123, 5, 1700000000, 1700007200, "Sommernachtstraum"};
  position.tickets = {{501, 1.5, 1.0, 20.0}, {502, 1.5, 1.0, 22.5}};
  sale.positions.push_back(position);
  return sale;
}

class FlowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    paymentType_.fill(0);
    const std::uint32_t zahlart = 31;
    std::memcpy(paymentType_.data() + 4, &zahlart, sizeof zahlart);
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

  ScratchDir dir_;
  std::optional<LoopbackServer> server_;
  std::optional<DialogRecorder> dialogs_;
  std::array<std::uint8_t, 8> paymentType_;
  std::array<std::uint8_t, kResultSize> result_;
};

}  // namespace qel::test
