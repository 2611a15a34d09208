// What every fault test starts from: a scratch working folder, a small sale
// laid out as the host lays it out, a result record prefilled with a pattern,
// and the checks that a failed transfer must pass.
#pragma once

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "boxoffice/host_sale.h"
#include "tests/faults/fault_host.h"
#include "tests/faults/fault_server.h"
#include "tests/support/sale_scenario.h"
#include "tests/support/scratch_dir.h"
#include "tests/transport/kasse_answers.h"

namespace qel::test {

// QelConnect.xml for `url`; `caFile` names the PEM file of trusted CAs. The
// transaction trace is on, so that every fault also shows that the trace
// changes nothing the operator and the host see, and names its outcome.
inline std::string configFor(const std::string& url, const std::string& caFile = "",
                             const std::string& diagnostics = "<trace>1</trace>") {
  std::string endpoint = "<username>kasse</username><password>geheim</password><url>" + url + "</url>";
  if (!caFile.empty()) endpoint += "<caFile>" + caFile + "</caFile>";
  return "<endpoint>" + endpoint + "</endpoint><compatibility><oldkasse>0</oldkasse><oldkasseprefix>0" +
         "</oldkasseprefix></compatibility><diagnostics>" + diagnostics + "</diagnostics>";
}

// The size past which the trace starts a new file.
constexpr std::size_t kTraceLimit = std::size_t{10} << 20;

// The lines of the transaction trace, without their line breaks.
inline std::vector<std::string> traceLines() {
  const std::string trace = readFile("QelConnect.trace");
  std::vector<std::string> lines;
  for (std::size_t begin = 0; begin < trace.size();) {
    const std::size_t end = trace.find('\n', begin);
    lines.push_back(trace.substr(begin, end - begin));
    begin = end == std::string::npos ? trace.size() : end + 1;
  }
  return lines;
}

// The last line of the transaction trace, without its line break.
inline std::string lastTraceLine() {
  std::string trace = readFile("QelConnect.trace");
  if (!trace.empty() && trace.back() == '\n') trace.pop_back();
  return trace.substr(trace.rfind('\n') + 1);
}

// A trace line parsed as JSON. A line that is not one JSON object fails the
// test and reads as an empty object.
inline nlohmann::json traceLine(const std::string& line) {
  nlohmann::json parsed = nlohmann::json::parse(line, nullptr, false);
  if (parsed.is_object()) return parsed;
  ADD_FAILURE() << "not one JSON object: " << line;
  return nlohmann::json::object();
}

// The text of `key` in a trace line (UTF-8), or "(no key)".
inline std::string traceText(const std::string& line, const std::string& key) {
  const nlohmann::json parsed = traceLine(line);
  const auto found = parsed.find(key);
  if (found == parsed.end()) return "(no " + key + ")";
  if (found->is_string()) return found->get<std::string>();
  ADD_FAILURE() << key << " is no text: " << line;
  return found->dump();
}

// `text` as UTF-8, for the ASCII texts of the tests ("?" for anything else).
inline std::string ascii(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow += c < 0x80 ? static_cast<char>(c) : '?';
  return narrow;
}

// `text` (no character beyond U+FFFF) as UTF-8, as the trace writes it.
inline std::string utf8(const std::wstring& text) {
  std::string out;
  for (const wchar_t wc : text) {
    const auto c = static_cast<std::uint32_t>(wc) & 0xFFFF;
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += {static_cast<char>(0xC0 | (c >> 6)), static_cast<char>(0x80 | (c & 0x3F))};
    } else {
      out += {static_cast<char>(0xE0 | (c >> 12)), static_cast<char>(0x80 | ((c >> 6) & 0x3F)),
              static_cast<char>(0x80 | (c & 0x3F))};
    }
  }
  return out;
}

class FaultTest : public ::testing::Test {
 protected:
  FaultTest() : sale_(smallSale()), refund_(boxoffice::hostRefund({0, 0.0, "EUR", 0})) {
    paymentType_.fill(0);
    result_.fill(kResultPattern);
  }

  // The operator confirms the transfer (and the printing, should it come to
  // that).
  // Each call is a first attempt: the journal that an earlier case left in
  // doubt is removed, since the question about an earlier attempt has tests
  // of its own.
  CallOutcome sell() {
    std::remove("QelConnect.journal");
    return reported(callSale(sale_.record(), paymentType_.data(), result_.data(), {kAnswerOk, kAnswerOk}));
  }
  CallOutcome refund() {
    std::remove("QelConnect.journal");
    return reported(callRefund(refund_.data()));
  }

  // Prints the figures of a call for the reliability report: the test, the
  // code, the time the call took, and what the last box said (its ASCII
  // part).
  static CallOutcome reported(CallOutcome outcome) {
    std::string said;
    if (!outcome.boxes.empty()) {
      for (wchar_t c : outcome.boxes.back().text) said += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    }
    std::printf("[fault] %s: returned 0x%08X after %.2f s: %.160s\n",
                ::testing::UnitTest::GetInstance()->current_test_info()->name(), static_cast<unsigned>(outcome.code),
                outcome.elapsed.count(), said.c_str());
    return outcome;
  }

  // A cash register that accepts every order, named in QelConnect.xml.
  void startKasse() {
    kasse_ = std::make_unique<FaultServer>(
        [](FaultConnection& c) { c.send(httpResponse(200, kasseAnswer("0", "OK"), "application/soap+xml")); });
    writeFile("QelConnect.xml", configFor(kasse_->url()));
  }

  // The terminal number as the request carried it (after the sub-pool "0|").
  std::string sentTerminalId() const {
    const std::string body = kasse_->lastBody();
    const std::string open = "<Dwsubpoolid>0|";
    const std::size_t begin = body.find(open);
    const std::size_t end = body.find("</Dwsubpoolid>");
    if (begin == std::string::npos || end == std::string::npos) return "(no Dwsubpoolid)";
    return body.substr(begin + open.size(), end - begin - open.size());
  }

  bool resultUntouched() const {
    for (std::uint8_t b : result_) {
      if (b != kResultPattern) return false;
    }
    return true;
  }

  // The error box of the outcome's one failure; fails the test unless there
  // is exactly one, after the transfer question when `asked`.
  std::wstring errorText(const CallOutcome& outcome, bool asked = true) const {
    const std::size_t expected = asked ? 2 : 1;
    EXPECT_EQ(outcome.boxes.size(), expected);
    if (outcome.boxes.size() != expected) return {};
    if (asked) {
      EXPECT_EQ(outcome.boxes.front().text, kAskTransfer);
    }
    EXPECT_EQ(outcome.boxes.back().caption, kErrorCaption);
    return outcome.boxes.back().text;
  }

  // A sale that failed in transfer: one error box, the code for a sale not
  // completed, the result record and the log as they were. Returns the box's
  // text.
  std::wstring expectFailedSale(const CallOutcome& outcome) {
    EXPECT_EQ(outcome.code, kNotCompleted);
    EXPECT_TRUE(resultUntouched()) << "a failed sale must not touch the result record";
    EXPECT_FALSE(std::filesystem::exists("QelConnect.log")) << "a failed sale writes no log entry";
    return errorText(outcome);
  }

  // A sale that failed before a connection to the cash register was made.
  std::wstring expectSaleStoppedBeforeSending(const CallOutcome& outcome) {
    EXPECT_EQ(kasse_->connections(), 0) << "nothing may be sent";
    return expectFailedSale(outcome);
  }

  ScratchDir dir_;
  boxoffice::HostSale sale_;
  std::array<std::uint8_t, 8> paymentType_;
  std::array<std::uint8_t, kResultSize> result_;
  boxoffice::RefundRecord refund_;
  std::unique_ptr<FaultServer> kasse_;
};

inline bool startsWith(const std::wstring& text, const std::wstring& prefix) { return text.rfind(prefix, 0) == 0; }

// The box's message as the trace holds it: the text without the paragraph
// of a possible booking, which `inDoubt` says the box must end with.
inline std::wstring messageOfBox(const std::wstring& text, const std::wstring& paragraph, bool inDoubt) {
  const bool ends =
      text.size() >= paragraph.size() && text.compare(text.size() - paragraph.size(), paragraph.size(), paragraph) == 0;
  EXPECT_EQ(ends, inDoubt) << "the paragraph of a possible booking, in doubt and only then";
  return ends ? text.substr(0, text.size() - paragraph.size()) : text;
}

// The trace of one transfer: the line written ahead and the outcome line of
// the same transaction. Returns the outcome line.
inline std::string expectSendingThenOutcome() {
  const std::vector<std::string> lines = traceLines();
  EXPECT_EQ(lines.size(), 2u);
  if (lines.size() != 2) return {};
  EXPECT_EQ(traceText(lines[0], "outcome"), "sending");
  EXPECT_EQ(traceText(lines[0], "id"), traceText(lines[1], "id"));
  return lines[1];
}

}  // namespace qel::test
