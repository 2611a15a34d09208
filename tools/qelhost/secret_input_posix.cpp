// The POSIX side of reading a password: the terminal's echo switched off
// for the one line.
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <iterator>
#include <stdexcept>

#include "platform/secret_bytes.h"
#include "tools/qelhost/secret_input.h"

namespace qel::qelhost {
namespace {

// Restores the terminal's settings on every path.
class EchoOff {
 public:
  EchoOff() {
    if (tcgetattr(STDIN_FILENO, &saved_) != 0) return;
    termios quiet = saved_;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    active_ = tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet) == 0;
  }
  ~EchoOff() {
    if (active_) tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved_);
  }
  EchoOff(const EchoOff&) = delete;
  EchoOff& operator=(const EchoOff&) = delete;

 private:
  termios saved_{};
  bool active_ = false;
};

}  // namespace

std::string readSecret(const char* prompt) {
  std::string text;
  // Room for any real password at once, so that no growing leaves a copy
  // behind in freed memory.
  text.reserve(4096);
  if (isatty(STDIN_FILENO)) {
    std::cerr << prompt << std::flush;
    {
      const EchoOff echoOff;
      std::getline(std::cin, text);
    }
    std::cerr << "\n";
  } else {
    text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
  }
  if (std::cin.bad()) {
    platform::wipeString(text);
    throw std::runtime_error("cannot read the password from standard input");
  }
  dropFinalLineBreak(text);
  return text;
}

}  // namespace qel::qelhost
