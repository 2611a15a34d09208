// Fuzz target: arbitrary bytes as QelConnect.xml, loaded as a transfer loads
// it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "base/vub_exception.h"
#include "config/connector_config.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using qel::fuzz::check;
  static qel::fuzz::InputFile file;
  const std::string& path = file.write(data, size);
  qel::ConnectorConfig config;
  try {
    config.loadFromFile(path);
  } catch (const qel::VubException& e) {
    check(!e.message().empty(), "a rejected file has a message");
    check(e.code() == 0, "configuration failures carry code 0");
    return 0;
  }
  // The text of the file is never cut down or grown beyond what it holds:
  // each value is decoded from bytes of the file (a replacement character,
  // three bytes of UTF-8, stands for at least one byte).
  check(config.url.size() <= size, "the url comes from the file");
  check(config.username.size() + config.password.size() <= size, "the credentials come from the file");
  return 0;
}
