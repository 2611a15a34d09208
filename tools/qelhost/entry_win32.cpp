// qelhost's entry point on Windows: the arguments come as UTF-16, so that a
// path outside the ANSI code page (a folder "Kasse Ü€") reaches the program
// whole, and go on as UTF-8.
#include <string>
#include <vector>

#include "platform/platform.h"
#include "tools/qelhost/entry.h"

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(qel::platform::wideToUtf8(argv[i]));
  return qel::qelhost::runQelhost(arguments);
}
