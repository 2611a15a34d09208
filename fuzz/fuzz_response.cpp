// Fuzz target: arbitrary bytes as the body of the cash register's answer,
// decoded and judged as the library judges a body it has received.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "host/vub_exception.h"
#include "platform/platform.h"
#include "transport/kasse_exchange.h"

namespace {

// The HTTP client reads the body as UTF-8 when it is valid UTF-8 and with the
// ANSI code page otherwise; the evaluation sees the result of that.
std::wstring decodeAsReceived(std::string_view bytes) {
  return qel::platform::isValidUtf8(bytes) ? qel::platform::utf8ToWide(bytes) : qel::platform::ansiToWide(bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using qel::fuzz::check;
  const std::wstring body = decodeAsReceived(std::string_view(reinterpret_cast<const char*>(data), size));
  qel::KasseResponse response;
  try {
    qel::evaluateResponse(body, response);
    check(response.rect == 0, "an accepted answer has Rect 0");
  } catch (const qel::VubException& e) {
    check(!e.message().empty(), "a rejected answer has a message");
    // A refusal carries Rect as its code; every other failure carries 0.
    check(e.code() == response.rect, "the exception's code is the Rect read");
  }
  return 0;
}
