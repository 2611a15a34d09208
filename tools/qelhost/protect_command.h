// qelhost protect-password: the element endpoint/protectedPassword for a
// password typed or piped in.
#pragma once

#include <iosfwd>

namespace qel::qelhost {

// Reads the password and writes the element to `out`, protected for this
// computer or, with `userScope`, for the user alone; everything else goes to
// standard error. Returns qelhost's exit code.
int runProtectPassword(bool userScope, std::ostream& out);

}  // namespace qel::qelhost
