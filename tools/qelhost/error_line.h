// qelhost's complaints on standard error. Each goes out in one write: a
// caller that reads standard output and standard error into one file (a
// script, a test, Wine's console) never finds another line inside it.
#pragma once

#include <iostream>
#include <string>
#include <string_view>

namespace qel::qelhost {

// Writes "qelhost: MESSAGE" and a line end.
inline void printError(std::string_view message) {
  std::string line = "qelhost: ";
  line.append(message).append(1, '\n');
  std::cerr << line << std::flush;
}

}  // namespace qel::qelhost
