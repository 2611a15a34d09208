// The Windows side of reading a password: the console's echo switched off
// for the one line, or standard input's bytes when it is a pipe or a file.
#include <windows.h>

#include <iostream>
#include <stdexcept>
#include <vector>

#include "platform/platform.h"
#include "tools/qelhost/secret_input.h"

namespace qel::qelhost {
namespace {

// Restores the console's mode on every path.
class EchoOff {
 public:
  EchoOff(HANDLE console, DWORD mode) : console_(console), saved_(mode) {
    SetConsoleMode(console_, (mode | ENABLE_LINE_INPUT) & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  }
  ~EchoOff() { SetConsoleMode(console_, saved_); }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  HANDLE console_;
  DWORD saved_;
};

[[noreturn]] void readFailed() {
  throw std::runtime_error("cannot read the password from standard input (Windows error " +
                           std::to_string(GetLastError()) + ")");
}

// The console gives UTF-16, whatever its code page; the line ends at CR LF.
std::string readConsoleLine(HANDLE console, DWORD mode) {
  std::wstring line;
  {
    const EchoOff echoOff(console, mode);
    wchar_t buffer[256];
    for (;;) {
      DWORD read = 0;
      if (!ReadConsoleW(console, buffer, 256, &read, nullptr)) readFailed();
      line.append(buffer, read);
      platform::wipeBytes(buffer, sizeof buffer);
      if (read == 0 || line.find(L'\n') != std::wstring::npos) break;
    }
  }
  const std::size_t end = line.find_first_of(L"\r\n");
  std::string text = platform::wideToUtf8(std::wstring_view(line).substr(0, end));
  platform::wipeBytes(line.data(), line.size() * sizeof(wchar_t));
  return text;
}

// A pipe or file holds bytes, taken as UTF-8 as QelConnect.xml is.
std::string readAll(HANDLE input) {
  std::string text;
  char buffer[4096];
  // Room for any real password at once, so that no growing leaves a copy
  // behind in freed memory.
  text.reserve(4096);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(input, buffer, sizeof buffer, &read, nullptr)) {
      if (GetLastError() == ERROR_BROKEN_PIPE) break;
      platform::wipeString(text);
      readFailed();
    }
    if (read == 0) break;
    text.append(buffer, read);
  }
  platform::wipeBytes(buffer, sizeof buffer);
  dropFinalLineBreak(text);
  return text;
}

}  // namespace

std::string readSecret(const char* prompt) {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (input == nullptr || input == INVALID_HANDLE_VALUE) readFailed();
  if (!GetConsoleMode(input, &mode)) return readAll(input);
  std::cerr << prompt << std::flush;
  std::string text = readConsoleLine(input, mode);
  std::cerr << "\n";
  return text;
}

}  // namespace qel::qelhost
