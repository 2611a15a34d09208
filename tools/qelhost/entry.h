// The platform's entry point hands qelhost its arguments as UTF-8 here.
#pragma once

#include <string>
#include <vector>

namespace qel::qelhost {

// Runs qelhost with the arguments after the program's name, each UTF-8, and
// returns its exit code.
int runQelhost(const std::vector<std::string>& arguments);

}  // namespace qel::qelhost
