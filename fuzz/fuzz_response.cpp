// Fuzz target: arbitrary bytes as the body of the cash register's answer,
// judged from the bytes as a sale judges them, and compared with the
// judgement of the same body once decoded; the parse behind the judgement
// is compared with tinyxml2's own.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/vub_exception.h"
#include "base/xml_parse.h"
#include "fuzz/fuzz_support.h"
#include "platform/platform.h"
#include "tests/support/xml_outcome.h"
#include "transport/http_client.h"
#include "transport/kasse_exchange.h"

namespace {

// What one judgement ended with: the response it filled and, when it threw,
// the exception's message and code.
struct Outcome {
  qel::KasseResponse response;
  std::optional<std::wstring> message;
  std::int32_t code = 0;
};

template <typename Evaluate>
Outcome judge(Evaluate&& evaluate) {
  Outcome outcome;
  try {
    evaluate(outcome.response);
  } catch (const qel::VubException& e) {
    outcome.message = e.message();
    outcome.code = e.code();
  }
  return outcome;
}

// Inputs up to this size cost tinyxml2's own Parse little, whatever they hold.
constexpr std::size_t kMaxComparedParse = 64 * 1024;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using qel::fuzz::check;
  const std::string bytes(reinterpret_cast<const char*>(data), size);

  // A sale hands the bytes as they arrived to the evaluation.
  const Outcome sale = judge([&](qel::KasseResponse& r) { qel::evaluateResponseBytes(bytes, r); });
  if (!sale.message) {
    check(sale.response.rect == 0, "an accepted answer has Rect 0");
  } else {
    check(!sale.message->empty(), "a rejected answer has a message");
    // A refusal carries Rect as its code; every other failure carries 0.
    check(sale.code == sale.response.rect, "the exception's code is the Rect read");
  }

  // The bytes path skips decoding and encoding again only as a shortcut: the
  // decoded body must be judged exactly the same, message included.
  const std::wstring decoded = qel::decodeResponse(bytes);
  const std::string reencoded = qel::platform::wideToUtf8(decoded);
  const Outcome wide = judge([&](qel::KasseResponse& r) { qel::evaluateResponseBytes(reencoded, r); });
  check(wide.message == sale.message, "bytes and decoded body give the same message");
  check(wide.code == sale.code, "bytes and decoded body give the same code");
  check(wide.response.rect == sale.response.rect, "bytes and decoded body give the same Rect");
  check(wide.response.rectmsg == sale.response.rectmsg, "bytes and decoded body give the same Rectmsg");

  if (size <= kMaxComparedParse) {
    tinyxml2::XMLDocument plain;
    plain.Parse(bytes.data(), bytes.size());
    tinyxml2::XMLDocument prepared;
    qel::parseXml(prepared, bytes);
    check(qel::test::describeParse(prepared) == qel::test::describeParse(plain),
          "the judgement's parse gives what tinyxml2's own gives");
  }
  return 0;
}
