// qelhost protect-password: the element endpoint/protectedPassword for a
// password typed or piped in.
#pragma once

#include <iosfwd>

namespace qel::qelhost {

// Runs the subcommand with the arguments after its name (`argc` counts
// "protect-password" itself as argv[0]). Writes the element to `out` and
// everything else to standard error; returns qelhost's exit code.
int runProtectPassword(int argc, char** argv, std::ostream& out);

}  // namespace qel::qelhost
