// Fuzz target: arbitrary bytes as the host's Sales.ini, read for the
// terminal number as every sale reads it.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "host/terminal_id_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using qel::fuzz::check;
  static qel::fuzz::InputFile file;
  const qel::TerminalIdReader reader(file.write(data, size));
  const std::wstring terminalId = reader.terminalId();
  // The value's buffer holds 99 bytes, and every byte decodes to at most one
  // character.
  check(terminalId.size() <= 99, "the terminal number fits its 99-byte buffer");
  const std::string_view content(reinterpret_cast<const char*>(data), size);
  if (content.find("TerminalID=") == std::string_view::npos) {
    check(terminalId == L"16213", "without the key the default stands");
  }
  return 0;
}
